#pragma once
#include <QString>

#include "ports/MessageTable.h"

class QWidget;

namespace corvane::ui {

// The language's text for a caption the program knows in English (a message
// of kCaptionTexts, or the text of a line of it); any other text unchanged.
// For texts a window sets while it runs: START / REVERSE, the status link.
QString Tr(const MessageTable& messages, const QString& english);

// Shows the language's captions in `top` and every widget below it: window
// titles, labels (links included), buttons, group titles, tab titles and the
// items of fixed lists. A caption is recognised by its built-in English the
// first time and by the message it showed after that, so a second language
// replaces the first. Texts of no caption (values, file names) stay.
void ShowCaptions(QWidget* top, const MessageTable& messages);
// The same for every window of the program.
void ShowCaptionsEverywhere(const MessageTable& messages);

}  // namespace corvane::ui
