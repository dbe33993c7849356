#pragma once
// What the drawing program does at start and on close, below its window: the
// sign size from "SML_WIN.INI" (read, never written), and the working picture
// "SysCanvas.BMP" kept between runs in the program directory.
#include <QImage>
#include <QSize>
#include <string>

namespace drawapp {

inline constexpr char kSysCanvasName[] = "SysCanvas.BMP";
// Asked after the picture could not be kept at closing; No keeps the window.
inline constexpr char kCloseWithoutPictureText[] = "The picture cannot be kept. Close without keeping it?";
// The drawing program works eight sign pixels high, whatever the file says.
inline constexpr int kDrawingSignHeight = 8;

struct SignSize {
  int width = 160;
  int height = 16;
};

// "Sign Width" (default 160) and "Sign Height" (default 16) of [System]. A
// value that is no number, or out of range, is reported in a warning and its
// default is used; start-up goes on. A file that is there but cannot be read
// is said once, naming it and the reason, and both defaults are used.
SignSize ReadSignSize(const std::string& settingsPath);
// "%d(H)x%d(W)".
std::string SignSizeText(int height, int width);

std::string SysCanvasPath(const std::string& programDir);
// Replaces the view with the working picture at the picture's own size (saved
// from a larger or a smaller drawing area, it is kept whole), in the view's
// pixel format. A missing file leaves the view; one that cannot be read as a
// bitmap, or whose pixel data is cut short, is reported and leaves it too.
// True when loaded.
bool LoadSysCanvas(const std::string& path, QImage& view);
// Writes the view as a 24-bit Windows bitmap through a temporary file, so a
// failure leaves the old picture whole. Raises platform::InOutError.
void SaveSysCanvas(const std::string& path, const QImage& view);

}  // namespace drawapp
