#pragma once
// A post's style attribute cut down to how its own text looks: colours, fonts, text alignment
// and decoration, margins and padding. The attribute is read as a browser reads it (css_tokens.h)
// and written out anew from what was read, so nothing is judged by how it is spelled.
//
// No length survives that is negative, nor one past what a post needs. Bounds, with 1em taken
// as 16px for em, rem, ex (8px) and ch (8px), and pt, pc, in, cm, mm and q at their px values:
//   margin        0 to 100px, or 0 to 20%, or auto
//   padding       0 to 50px, or 0 to 10%
//   text-indent   0 to 100px, or 0 to 20%
//   font-size     8px to 48px in absolute units (rem among them), or 0.5 to 1 times the parent's
//                 size (em, %, ex, ch), so that nested sizes never grow; the keywords up to
//                 xxx-large (48px, the size of <font size=7>) and "smaller"
//   line-height   normal, 1 to 3 times the font size (a number, em or %), or 12px to 96px
// Comments are left out and escapes written as what they stand for. A value holding a function
// other than a colour's (calc, var, url, …), an !important, a block, or a name or string that
// would need an escape to read back the same is dropped with its declaration.

#include <string>
#include <string_view>

namespace offline {

// The declarations kept, as "name:value;name:value"; empty when none is.
std::string SafeStyle(std::string_view style);

} // namespace offline
