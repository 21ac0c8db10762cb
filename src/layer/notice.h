#pragma once
// The modal notice box the application shows its few messages in.
#include <string_view>

// A message box with the text, one OK button and no icon, owned by the application's main
// window and titled with its current caption. Without a main window it has no owner and the
// platform's default title.
void ShowNotice(std::string_view text);
