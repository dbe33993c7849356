#include "editor/BillEditorWidget.h"

#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleHints>
#include <optional>

#include "editor/GuardedEdit.h"
#include "platform/ExceptionReport.h"

namespace editor {
namespace {

constexpr int kControlLeft = 10;
constexpr int kControlTop = 10;

// The keys the control acts on; Ctrl, Alt and Meta combinations belong to the
// editor's menus.
std::optional<EditorKey> ControlKey(const QKeyEvent& event) {
  if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) return std::nullopt;
  switch (event.key()) {
    case Qt::Key_Backspace: return EditorKey::Backspace;
    case Qt::Key_PageUp: return EditorKey::PageUp;
    case Qt::Key_PageDown: return EditorKey::PageDown;
    case Qt::Key_End: return EditorKey::End;
    case Qt::Key_Home: return EditorKey::Home;
    case Qt::Key_Left: return EditorKey::Left;
    case Qt::Key_Up: return EditorKey::Up;
    case Qt::Key_Right: return EditorKey::Right;
    case Qt::Key_Down: return EditorKey::Down;
    case Qt::Key_Delete: return EditorKey::Delete;
    default: return std::nullopt;
  }
}

bool HasCommandModifier(const QKeyEvent& event) {
  return (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0;
}

// A key on the current frame: what the model refuses is refused with a beep,
// anything else shows in the error box.
void Edit(const std::function<void()>& edit) {
  platform::Guarded([&] { GuardedEdit(edit); });
}

std::u32string Utf32(const QString& text) {
  const QList<uint> codes = text.toUcs4();
  return std::u32string(codes.begin(), codes.end());
}

}  // namespace

BillEditorWidget::BillEditorWidget(MessageModel& model, EditorHost& host, const signfont::SignFontTable& fonts,
                                   QWidget* parent)
    : QWidget(parent), editor_(model, host, fonts) {
  editor_.SetView(this);
  setGeometry(kControlLeft, kControlTop, editor_.EditorWidth(), editor_.RowHeight());
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled);
  setAttribute(Qt::WA_OpaquePaintEvent);  // the canvas covers every pixel: no parent colour
  const int flash = QGuiApplication::styleHints()->cursorFlashTime();
  blink_.setInterval(flash > 0 ? flash / 2 : 0);
  connect(&blink_, &QTimer::timeout, this, [this] { Blink(); });
}

bool BillEditorWidget::CaretVisibleNow() const { return editor_.Caret().shown && hasFocus() && blinkOn_; }

void BillEditorWidget::CanvasChanged() { update(); }

void BillEditorWidget::CaretChanged() {
  // A moved caret shows at once and starts its blink again.
  blinkOn_ = true;
  if (blink_.interval() > 0 && editor_.Caret().shown && hasFocus()) blink_.start();
  update();
}

void BillEditorWidget::MoveControl(QPoint topLeft) { move(topLeft); }

void BillEditorWidget::TakeFocus() { setFocus(Qt::OtherFocusReason); }

void BillEditorWidget::Blink() {
  blinkOn_ = !blinkOn_;
  update(editor_.Caret().rect);
}

bool BillEditorWidget::event(QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    // Arrows and the editing keys always reach the control, as does plain
    // text; Page Up and Page Down are left to a menu that steps the frames, so
    // one press steps once.
    auto* key = static_cast<QKeyEvent*>(event);
    const std::optional<EditorKey> k = ControlKey(*key);
    const bool text = !HasCommandModifier(*key) && !key->text().isEmpty() && key->text().at(0).unicode() >= 32;
    if ((k && *k != EditorKey::PageUp && *k != EditorKey::PageDown) || (!k && text)) {
      event->accept();
      return true;
    }
  }
  return QWidget::event(event);
}

void BillEditorWidget::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.setClipRegion(event->region());
  painter.drawImage(0, 0, editor_.Canvas());
  if (!CaretVisibleNow()) return;
  // A grey caret: every other pixel of the bar inverted.
  painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  painter.fillRect(editor_.Caret().rect, QBrush(Qt::white, Qt::Dense4Pattern));
}

void BillEditorWidget::keyPressEvent(QKeyEvent* event) {
  const std::optional<EditorKey> key = ControlKey(*event);
  if (key) {
    event->accept();
    Edit([&] { editor_.KeyDown(*key); });
    return;
  }
  if (HasCommandModifier(*event) || event->text().isEmpty()) {
    event->ignore();
    return;
  }
  event->accept();
  const std::u32string text = Utf32(event->text());
  Edit([&] { editor_.TypeText(text); });
}

void BillEditorWidget::inputMethodEvent(QInputMethodEvent* event) {
  // The preedit stays with the input method; only committed text is typed.
  const std::u32string text = Utf32(event->commitString());
  event->accept();
  if (!text.empty()) Edit([&] { editor_.TypeText(text); });
}

QVariant BillEditorWidget::inputMethodQuery(Qt::InputMethodQuery query) const {
  switch (query) {
    case Qt::ImEnabled:
      return true;
    case Qt::ImCursorRectangle:
      return QRectF(editor_.Caret().rect);
    default:
      return QWidget::inputMethodQuery(query);
  }
}

void BillEditorWidget::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  Edit([&] { editor_.show_caret(); });
}

void BillEditorWidget::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  blink_.stop();
  editor_.HideCaret();
}

void BillEditorWidget::mousePressEvent(QMouseEvent* event) {
  // A click takes the focus; the caret stays where it was.
  setFocus(Qt::MouseFocusReason);
  event->accept();
}

}  // namespace editor
