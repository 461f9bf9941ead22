#pragma once
// The cleaned bodies of one save, each in a file of its own under the copy's folder as soon as it
// is ready, so that the pages are built after the pictures without every body held at once.
// The files are the save's own scratch: they go with the spool, unless a save that did not
// finish keeps them to resume from.

#include "offline/body_clean.h"

#include <cstddef>
#include <filesystem>

namespace offline {

enum class SpoolStart {
    empty, // whatever an earlier save left is removed
    kept,  // what an earlier save of the same list kept is used
};

class BodySpool {
public:
    // Makes the spool folder in the copy's folder; std::runtime_error when it cannot.
    explicit BodySpool(const std::filesystem::path& copy_folder,
                       SpoolStart start = SpoolStart::empty);
    // Removes the folder with every body in it, unless it is to be kept.
    ~BodySpool();
    BodySpool(const BodySpool&) = delete;
    BodySpool& operator=(const BodySpool&) = delete;

    // Safe to call from one thread while another loads a different post's body.
    // std::runtime_error when the body could not be written whole.
    void Store(std::size_t number, const CleanBody& body) const;
    // std::runtime_error when no whole body of that post is there.
    CleanBody Load(std::size_t number) const;

    // Whether the folder stays when the spool goes.
    void keep(bool kept) { m_kept = kept; }
    const std::filesystem::path& folder() const { return m_folder; }

private:
    std::filesystem::path file_of(std::size_t number) const;

    std::filesystem::path m_folder;
    bool m_kept = false;
};

} // namespace offline
