#pragma once
#include <QString>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTextBrowser;

namespace corvane {
class System;
}

namespace corvane::ui {

// A window of the program that shows a text file: the manual (Markdown or
// HTML, its pictures found beside it) or a log (plain text, scrolled to its
// end). It needs no browser or editor on the desktop; "Open with the
// desktop's viewer" hands the file to the desktop's opener only when asked,
// and the viewer says so when the desktop has none.
class TextViewer final : public QWidget {
  Q_OBJECT
 public:
  enum class Format { Markdown, Html, PlainText };

  explicit TextViewer(QWidget* parent = nullptr);

  // Shows FILE as FORMAT. False when the file cannot be read; the viewer keeps
  // what it showed and its message line names the file.
  bool open(const QString& file, Format format);
  // Reads the shown file again (a log that has grown since).
  bool reload();
  // What "Open with the desktop's viewer" hands over; by default the shown file.
  void setDesktopFile(const QString& file) { desktopFile_ = file; }
  // Hands the desktop file to the desktop's opener; false, and the message
  // line says so, when the desktop could not open it.
  bool openWithDesktop();

  QString file() const { return file_; }
  QString message() const;
  // The shown text, as plain text.
  QString text() const;

 private:
  void setMessage(const QString& text);

  QTextBrowser* document_ = nullptr;
  QPlainTextEdit* plain_ = nullptr;
  QLabel* message_ = nullptr;
  QPushButton* reload_ = nullptr;
  QString file_, desktopFile_;
  Format format_ = Format::PlainText;
};

// The viewer window NAME of OWNER (made on first use, kept for the next
// time), titled TITLE, showing FILE as FORMAT, raised and active. Null when
// FILE cannot be read: the caller says why.
TextViewer* ShowInViewer(QWidget* owner, const QString& name, const QString& title,
                         const QString& file, TextViewer::Format format);

// A fault the operator must hear of: a log line and a message box.
void TellOperator(System& system, const QString& text);

}  // namespace corvane::ui
