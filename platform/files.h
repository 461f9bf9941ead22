#pragma once
// File-system operations that saving posts needs. None of them throws: each reports failure by
// its result, so one failing post never stops the others.

#include <filesystem>
#include <string_view>

namespace platform {

// The folder that holds the running executable (not the working directory); empty when the
// system cannot tell.
std::filesystem::path program_folder();

// $HOME, or the user's entry in the password database when it is unset.
std::filesystem::path home_folder();

// True when the folder lists at least one regular file whose name does not start with ".".
// Missing or unreadable folders have none.
bool has_ordinary_files(const std::filesystem::path& folder);

// Creates one level (the parent must exist); true when the folder exists afterwards.
bool create_folder(const std::filesystem::path& folder);

// Appends the bytes to the file, creating it; true only when all were written and the file was
// closed without error. On failure the file is cut back to the size it had, so a file this call
// created stays empty.
bool append_bytes(const std::filesystem::path& file, std::string_view bytes);

// Writes every byte to the descriptor, going on after interruptions; false when a write failed.
bool write_all(int fd, std::string_view bytes);

// From then on a write past a file-size limit fails with EFBIG instead of ending the program.
void ignore_file_size_signal();

// True when the folder exists and files can be created in it.
bool can_write_in(const std::filesystem::path& folder);

} // namespace platform
