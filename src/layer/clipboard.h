#pragma once
// Plain text on the system clipboard.
#include <string_view>

// Replaces the clipboard's content with the text (up to its first NUL) as CF_TEXT and, converted
// from the active code page, as CF_UNICODETEXT. An empty
// text leaves the clipboard empty. Another program often holds the clipboard for a moment, so
// opening it is retried for about half a second. Returns false when the clipboard could not be
// opened or the text could not be placed on it.
bool CopyTextToClipboard(std::string_view text);
