#pragma once
// The cleaned bodies of one save, each in a file of its own under the copy's folder as soon as it
// is ready, so that the pages are built after the pictures without every body held at once.
// The files are the save's own scratch: they go with the spool.

#include "offline/body_clean.h"

#include <cstddef>
#include <filesystem>

namespace offline {

class BodySpool {
public:
    // Makes an empty spool folder in the copy's folder; std::runtime_error when it cannot.
    explicit BodySpool(const std::filesystem::path& copy_folder);
    // Removes the folder with every body in it.
    ~BodySpool();
    BodySpool(const BodySpool&) = delete;
    BodySpool& operator=(const BodySpool&) = delete;

    // Safe to call from one thread while another loads a different post's body.
    // std::runtime_error when the body could not be written whole.
    void Store(std::size_t number, const CleanBody& body) const;
    // std::runtime_error when no whole body of that post is there.
    CleanBody Load(std::size_t number) const;

private:
    std::filesystem::path file_of(std::size_t number) const;

    std::filesystem::path m_folder;
};

} // namespace offline
