#pragma once
// A body, in UTF-16 as the page was read, too long to parse whole without a tree many times its
// size, cut into pieces that gumbo reads one at a time. A cut falls before a tag, at a place where
// the parser has finished every token before it (not inside a tag or a comment), tried a little
// further on when it has not. Each piece after the first begins with the start tags of the elements
// still open at its cut, so its text keeps the formatting and place it had; what a cut changes is
// only that those elements end there and start again after it.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace offline {

// A body longer than this, in UTF-16 units, is read a piece of about this length at a time.
inline constexpr std::size_t body_piece_units = std::size_t{1} << 19;

class BodyPieces {
public:
    // `body` must outlive this object. A piece holds `piece_units` of the body or a little more.
    BodyPieces(std::u16string_view body, std::size_t piece_units);
    // The same body taken as it comes, never held whole: `more` appends the next stretch of it to
    // the text it is given, false once there is none. The pieces are those of the whole body.
    BodyPieces(std::function<bool(std::u16string&)> more, std::size_t piece_units);

    // The next piece's HTML in UTF-8, or nothing after the last. The first call always gives a
    // piece.
    std::optional<std::string> next();

private:
    std::size_t near() const;
    // Where to cut from `from` on in what is left, reading on as far as that takes.
    std::size_t cut_from(std::size_t from);
    // Whether what is left reaches `units`, reading on as far as that takes.
    void read_to(std::size_t units);

    std::u16string_view m_left; // of the body, what the pieces given out did not hold
    std::function<bool(std::u16string&)> m_more;
    std::u16string m_read; // a body taken as it comes: what is left of what was read of it
    bool m_all_read = true;
    std::size_t m_piece_units;
    bool m_started = false;
    std::string m_reopen; // start tags of what was left open at the last cut
};

} // namespace offline
