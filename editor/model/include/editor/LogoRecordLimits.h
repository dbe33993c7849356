#pragma once
// What a logo may measure to go to the sign: its record "{L%s,%.2d,%.3d,C,#"
// has two digits for the height and three for the width, so a larger logo
// would give a record the sign cannot read. Checked where a logo enters a
// message: at the logo picker's Insert and at Paste.
#include <QImage>
#include <string>

namespace editor {

inline constexpr const char* kLogoUnacceptableText = "Logo is unacceptable.";

inline constexpr int kMaxLogoRecordWidth = 999;
inline constexpr int kMaxLogoRecordHeight = 99;

// Why a logo of this size cannot be sent, in plain words; empty when it fits.
std::string LogoRecordSizeProblem(int width, int height);
// When the logo does not fit its record: warns with "Logo is unacceptable."
// and the reason on a second line, and returns false.
bool AcceptLogoSize(const QImage& logo);

}  // namespace editor
