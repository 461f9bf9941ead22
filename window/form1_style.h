#pragma once
// Form1's look: fonts, colours, and themed widgets brought down to the layout's pixel sizes.

namespace form1_style {

// Song typefaces first; Noto Serif CJK SC stands in where SimSun is not installed.
inline constexpr const char* css = R"css(
window {
  font-family: SimSun, "Noto Serif CJK SC";
  font-size: 9pt;
  font-weight: normal;
  font-style: normal;
}
window.form1 {
  background-color: #FFFFFF;
}
window.form1 entry,
window.form1 button {
  min-height: 0;
  padding-top: 0;
  padding-bottom: 0;
}
window.form1 entry {
  padding-left: 3px;
  padding-right: 3px;
}
#txtblog {
  background-color: #C0C0FF;
  font-size: 14.25pt;
}
#txtblog > text {
  margin-top: -3px;
}
#Command1, #Command2 {
  font-size: 12pt;
  padding-left: 2px;
  padding-right: 2px;
}
/* The save's running count has to fit the button's width. */
#Command2.progress {
  font-size: 9pt;
}
#List1 {
  background-color: #E0E0E0;
  font-size: 12pt;
}
#List1 row {
  padding: 0 2px;
  min-height: 0;
}
#Label1, #Label2, #Label3, #Label4 {
  background-color: #FFFFFF;
}
)css";

} // namespace form1_style
