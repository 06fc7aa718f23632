// reset_all_state.h: every state record of the program back to how a fresh run finds it, for the
// fixtures of every test program. The installed user services, the interface layout, the fonts
// and the window's frame outlive it: they belong to whoever set them up.
#pragma once

namespace tsv::test {

void ResetAllState();

}  // namespace tsv::test
