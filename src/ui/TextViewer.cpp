#include "ui/TextViewer.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "system/System.h"

namespace corvane::ui {

TextViewer::TextViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("TextViewer");
  resize(900, 700);
  auto* layout = new QVBoxLayout(this);
  document_ = new QTextBrowser(this);
  document_->setObjectName("ViewerDocument");
  document_->setOpenExternalLinks(true);
  plain_ = new QPlainTextEdit(this);
  plain_->setObjectName("ViewerText");
  plain_->setReadOnly(true);
  plain_->setLineWrapMode(QPlainTextEdit::NoWrap);
  plain_->setFont(QFont("Monospace"));
  plain_->hide();
  layout->addWidget(document_, 1);
  layout->addWidget(plain_, 1);

  message_ = new QLabel(this);
  message_->setObjectName("ViewerMessage");
  message_->setWordWrap(true);
  message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  message_->setStyleSheet("color: red;");
  message_->hide();
  layout->addWidget(message_);

  auto* buttons = new QHBoxLayout;
  reload_ = new QPushButton("Reload", this);
  reload_->setObjectName("ViewerReload");
  reload_->setToolTip("Read the file again");
  connect(reload_, &QPushButton::clicked, this, [this] { reload(); });
  auto* desktop = new QPushButton("Open with the desktop's viewer", this);
  desktop->setObjectName("ViewerDesktop");
  connect(desktop, &QPushButton::clicked, this, [this] { openWithDesktop(); });
  auto* close = new QPushButton("Close", this);
  close->setObjectName("ViewerClose");
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  buttons->addWidget(reload_);
  buttons->addWidget(desktop);
  buttons->addStretch(1);
  buttons->addWidget(close);
  layout->addLayout(buttons);
}

bool TextViewer::open(const QString& file, Format format) {
  QFile source(file);
  if (!source.open(QIODevice::ReadOnly)) {
    setMessage("Cannot read " + QDir::toNativeSeparators(file) + ": " + source.errorString());
    return false;
  }
  const bool plain = format == Format::PlainText;
  if (plain) {
    QString text = QString::fromUtf8(source.readAll());
    text.remove('\r');
    plain_->setPlainText(text);
    plain_->moveCursor(QTextCursor::End);
    plain_->verticalScrollBar()->setValue(plain_->verticalScrollBar()->maximum());
  } else {
    // Through the source, so that pictures and links are found beside the file.
    const QUrl url = QUrl::fromLocalFile(file);
    const auto type =
        format == Format::Markdown ? QTextDocument::MarkdownResource : QTextDocument::HtmlResource;
    if (document_->source() == url)
      document_->reload();
    else
      document_->setSource(url, type);
  }
  document_->setVisible(!plain);
  plain_->setVisible(plain);
  if (file_ != file) desktopFile_ = file;
  file_ = file;
  format_ = format;
  setMessage({});
  return true;
}

bool TextViewer::reload() { return !file_.isEmpty() && open(file_, format_); }

bool TextViewer::openWithDesktop() {
  const QString file = desktopFile_.isEmpty() ? file_ : desktopFile_;
  if (file.isEmpty()) return false;
  if (QDesktopServices::openUrl(QUrl::fromLocalFile(file))) {
    setMessage({});
    return true;
  }
  setMessage("The desktop has no viewer for " + QDir::toNativeSeparators(file) +
             "; it stays shown here.");
  return false;
}

QString TextViewer::message() const { return message_->text(); }

QString TextViewer::text() const {
  return format_ == Format::PlainText ? plain_->toPlainText() : document_->toPlainText();
}

void TextViewer::setMessage(const QString& text) {
  message_->setText(text);
  message_->setVisible(!text.isEmpty());
}

TextViewer* ShowInViewer(QWidget* owner, const QString& name, const QString& title,
                         const QString& file, TextViewer::Format format) {
  auto* viewer = owner->findChild<TextViewer*>(name, Qt::FindDirectChildrenOnly);
  if (!viewer) {
    viewer = new TextViewer(owner);
    viewer->setObjectName(name);
  }
  if (!viewer->open(file, format)) return nullptr;
  viewer->setWindowTitle(title);
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
  return viewer;
}

void TellOperator(System& system, const QString& text) {
  system.log.WriteLog(text.toStdString());
  system.host.showError(text.toStdString());
}

}  // namespace corvane::ui
