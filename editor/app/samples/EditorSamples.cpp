#include "EditorSamples.h"

#include <QImage>
#include <QPainter>

#include "common/ColorCode.h"
#include "common/Util.h"
#include "editor/EditorSettings.h"
#include "editor/FrameFile.h"
#include "editor/MessageFile.h"
#include "platform/BinaryFile.h"

namespace editorsamples {

namespace {

void Type(editor::MessageModel& m, int frame, int line, const std::string& text, int font, int colour,
          char attr = '0') {
  for (unsigned char c : text) {
    m.InsertCharacter(frame, line, m.Frame(frame).Length(line) + 1, c, font, colour, attr);
  }
}

// A 16 x 16 sun: a yellow disc with green rays.
QImage SunLogo() {
  QImage logo(16, 16, QImage::Format_RGB32);
  logo.fill(Qt::black);
  QPainter p(&logo);
  p.setPen(QColor::fromRgb(colorcode::ColorIndexToColor(2)));
  p.drawLine(0, 8, 15, 8);
  p.drawLine(8, 0, 8, 15);
  p.drawLine(2, 2, 13, 13);
  p.drawLine(2, 13, 13, 2);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor::fromRgb(colorcode::ColorIndexToColor(4)));
  p.drawEllipse(QPoint(8, 8), 4, 4);
  return logo;
}

}  // namespace

std::unique_ptr<editor::MessageModel> SampleMessage(const std::string& directory) {
  auto m = std::make_unique<editor::MessageModel>(editor::SignGeometry{160, 16});
  m->NewMessage(directory);
  m->Frame(0).Layout = 1;
  m->Frame(0).Speed = 1;
  m->Frame(0).Modes = "A";
  Type(*m, 0, 1, "WELCOME ", 2, 0);
  m->InsertLogo(0, 1, m->Frame(0).Length(1) + 1, SunLogo());

  m->InsertFrame(1);
  m->Frame(1).Layout = 2;
  Type(*m, 1, 2, "OPEN DAILY", 0, 4);
  Type(*m, 1, 1, "8-22H", 1, 2, editor::AttrDigit(true, false));
  m->InsertBeep(1, 1, m->Frame(1).Length(1) + 1, 1, 2);

  m->InsertFrame(2);
  m->Frame(2).Layout = 1;
  m->Frame(2).Speed = 2;
  m->Frame(2).Modes = "ZU";
  Type(*m, 2, 1, "SALE", 5, 8);
  m->Modified = false;
  return m;
}

std::unique_ptr<editor::MessageModel> LargeMessage(int frames, int cellsPerFrame, int logos) {
  auto m = std::make_unique<editor::MessageModel>(editor::SignGeometry{160, 16});
  m->NewMessage("/");
  QImage logo(16, 16, QImage::Format_RGB32);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) logo.setPixel(x, y, colorcode::ColorIndexToColor((x + y) % 8));
  }
  int logosLeft = logos;
  for (int f = 0; f < frames; ++f) {
    if (f > 0) m->InsertFrame(f);
    m->Frame(f).Layout = 1;
    m->Frame(f).Modes = "AB";
    for (int c = 0; c < cellsPerFrame; ++c) {
      const int line = 1;
      const int pos = m->Frame(f).Length(line) + 1;
      if (logosLeft > 0 && c == 0) {
        m->InsertLogo(f, line, pos, logo);
        --logosLeft;
      } else {
        m->InsertCharacter(f, line, pos, static_cast<std::uint8_t>('A' + c % 26), 2 + c % 3, c % 8, '0');
      }
    }
  }
  m->Modified = false;
  return m;
}

std::string WriteSampleMessage(const std::string& directory, const std::string& name) {
  const std::string path = util::JoinPath(directory, name);
  if (platform::FileExists(path)) return {};
  auto m = SampleMessage(directory);
  editor::SaveMessage(*m, path, editor::FileSettingsOf({}));
  return path;
}

}  // namespace editorsamples
