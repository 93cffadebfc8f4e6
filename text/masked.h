// Text from outside (file names, option values, script words, client lines) made safe to
// show on a terminal before a message quotes it.
#pragma once

#include <string>
#include <string_view>

namespace fpu {

// `text` with every control character replaced by '?': C0 (with NUL and ESC), DEL, the C1
// range U+0080..U+009F (a terminal may take U+009B as CSI), and every byte that is not part of
// well-formed UTF-8 (a lone 0x9B is CSI to a terminal reading Latin-1). Other UTF-8 stays.
// With Tabs::keep a tab passes too, for whole lines shown as they came (the viewer's).
enum class Tabs { mask, keep };
std::string masked(std::string_view text, Tabs tabs = Tabs::mask);

// True when masked() would change `text`: a name holding one would write another file than
// the one a message shows, or garble the terminal that shows it.
bool holds_control_character(std::string_view text);

}  // namespace fpu

namespace fpu {

// True when `text` holds a C0 control byte (NUL included) or DEL: such a name would write
// another file than the one shown (NUL ends it early) or garble the terminal that shows it.
// Other bytes pass, so a name in a legacy code page (a Windows folder) stays usable.
bool holds_control_byte(std::string_view text);

}  // namespace fpu
