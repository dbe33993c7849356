#include "draw/LogoList.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <utility>

#include "common/LogoFile.h"
#include "common/Util.h"
#include "platform/BinaryFile.h"
#include "platform/Directories.h"
#include "platform/ExceptionReport.h"
#include "platform/InOutError.h"
#include "platform/MessageBoxes.h"

namespace draw {

namespace {

// Logos stay at three screen pixels a sign pixel, whatever the view's zoom.
constexpr int kScale = logofile::kLogoScale;

// Runs a file command; its failure is shown in a box and gives false.
template <typename Fn>
bool Reported(Fn&& fn) {
  try {
    fn();
    return true;
  } catch (const std::exception& e) {
    platform::ShowExceptionBox(e.what());
  }
  return false;
}

}  // namespace

QImage CaptureLogo(const QImage& view, raster::Box box, int signWidth, int signHeight) {
  const raster::Box b = box.Normalized();
  const int width = static_cast<int>(b.Width());
  QImage logo = raster::NewImage(width, signHeight * kScale, raster::kBlack);
  const int copied = std::min(width, signWidth * kScale);
  raster::CopyBox(view, raster::Box{b.left, b.top, b.left + copied, b.bottom}, logo, QPoint(0, 0),
                  raster::CopyMode::kSrcCopy);
  return logo;
}

LogoList::LogoList() {
  currentDirectory = [] { return platform::CurrentDirectory(); };
  NewLogoFile();
}

const QImage* LogoList::CurrentLogo() const {
  const int i = doc_.CurrentIndex();
  if (i < 0 || i >= doc_.Count()) return nullptr;
  return &doc_.Logos()[static_cast<std::size_t>(i)];
}

std::string LogoList::InfoText() const {
  const QImage* logo = CurrentLogo();
  char text[64];
  std::snprintf(text, sizeof text, "%d/%d  %d X %d", doc_.CurrentIndex() + 1, doc_.Count(),
                logo ? logo->height() / kScale : 0, logo ? logo->width() / kScale : 0);
  return text;
}

LogoButtons LogoList::Buttons() const {
  const int i = doc_.CurrentIndex();
  LogoButtons b;
  b.deleteLogo = b.clear = b.edit = i >= 0;
  b.previous = i > 0;
  b.next = i < doc_.Count() - 1;
  return b;
}

std::string LogoList::InCurrentDirectory(const std::string& name) const {
  return util::JoinPath(currentDirectory ? currentDirectory() : std::string(), name);
}

void LogoList::NewLogoFile() {
  doc_.SetFileName(InCurrentDirectory(kNewLogoFileName));
  doc_.ClearLogos();
  doc_.SetModified(false);
  nameNeverChosen_ = true;
}

bool LogoList::Insert(const QImage& view, raster::Box box, int signWidth, int signHeight) {
  if (!doc_.CanAddLogo()) {
    util::ShowWarning(kTooManyLogos);
    return false;
  }
  const int at = doc_.CurrentIndex() + 1;
  auto& logos = doc_.Logos();
  logos.insert(logos.begin() + at, CaptureLogo(view, box, signWidth, signHeight));
  doc_.SetCurrentIndex(at);
  doc_.SetModified(true);
  return true;
}

bool LogoList::Replace(const QImage& view, raster::Box box, int signWidth, int signHeight) {
  if (!CurrentLogo()) return Insert(view, box, signWidth, signHeight);
  doc_.Logos()[static_cast<std::size_t>(doc_.CurrentIndex())] = CaptureLogo(view, box, signWidth, signHeight);
  doc_.SetModified(true);
  return true;
}

bool LogoList::Delete() {
  if (!CurrentLogo() || !util::AskYesNo(kDeleteQuestion)) return false;
  auto& logos = doc_.Logos();
  logos.erase(logos.begin() + doc_.CurrentIndex());
  // Deleting the last logo makes the new last one current; the only one, none.
  if (doc_.Count() < doc_.CurrentIndex() + 1) doc_.SetCurrentIndex(doc_.Count() - 1);
  doc_.SetModified(true);
  return true;
}

void LogoList::Clear() {
  if (!CurrentLogo()) return;
  QImage& logo = doc_.Logos()[static_cast<std::size_t>(doc_.CurrentIndex())];
  logo.fill(raster::kBlack);
  doc_.SetModified(true);
}

void LogoList::Previous() {
  if (doc_.CurrentIndex() > 0) doc_.SetCurrentIndex(doc_.CurrentIndex() - 1);
}

void LogoList::Next() {
  if (doc_.CurrentIndex() < doc_.Count() - 1) doc_.SetCurrentIndex(doc_.CurrentIndex() + 1);
}

void LogoList::Choose(int index) {
  if (index >= 0 && index < doc_.Count()) doc_.SetCurrentIndex(index);
}

std::optional<QRect> LogoList::Edit(QImage& view) const {
  const QImage* logo = CurrentLogo();
  if (!logo) return std::nullopt;
  raster::CopyBox(*logo, raster::Box{0, 0, logo->width(), logo->height()}, view, QPoint(0, 0),
                  raster::CopyMode::kSrcCopy);
  return QRect(0, 0, logo->width(), logo->height());
}

int LogoList::AskSaveChanges() {
  if (!doc_.Modified()) return platform::kResultYes;
  const int answer = util::AskYesNoCancel(kSaveChangesQuestion);
  if (answer != platform::kResultYes) return answer == platform::kResultNo ? answer : platform::kResultCancel;
  // An empty list has nothing to save and may be closed; a failed save may not.
  if (doc_.CurrentIndex() >= 0 && !Save()) return platform::kResultCancel;
  return platform::kResultYes;
}

bool LogoList::New() {
  if (AskSaveChanges() == platform::kResultCancel) return false;
  NewLogoFile();
  return true;
}

bool LogoList::Open() {
  if (AskSaveChanges() == platform::kResultCancel) return false;
  const std::string name = openDialog ? openDialog(InCurrentDirectory("*.LOG")) : std::string();
  if (name.empty()) return false;
  // The whole file is read before the open list is touched.
  LogoDocument read;
  try {
    read.LoadLogoFile(name);
  } catch (const logofile::BadLogoFile& e) {
    // The logo picker's words, and what is wrong with the file.
    util::ShowWarning(name + " is not a valid logo file!\n" + e.reason());
    return false;
  } catch (const platform::InOutError& e) {
    // Missing, no regular file, unreadable: as the logo picker says it.
    util::ShowWarning(name + " cannot be read!\n" + e.what());
    return false;
  } catch (const std::exception& e) {
    platform::ShowExceptionBox(e.what());
    return false;
  }
  doc_.Logos() = std::move(read.Logos());
  doc_.SetCurrentIndex(doc_.Count() > 0 ? 0 : -1);
  doc_.SetFileName(name);
  doc_.SetModified(false);
  nameNeverChosen_ = false;
  return true;
}

bool LogoList::Write(const std::string& name) {
  if (!Reported([&] { doc_.SaveLogoFile(name); })) return false;
  doc_.SetModified(false);
  return true;
}

bool LogoList::Save() {
  if (doc_.CurrentIndex() < 0) return false;
  const std::string& name = doc_.FileName();
  if (nameNeverChosen_ && platform::FileExists(name) &&
      !util::AskYesNo(name + " already exists.\nDo you want to replace it?")) {
    return false;
  }
  if (!Write(name)) return false;
  nameNeverChosen_ = false;
  return true;
}

bool LogoList::SaveAs() {
  const std::string name = saveDialog ? saveDialog(doc_.FileName()) : std::string();
  if (name.empty()) return false;
  // With logos the list takes the name only once they are written there: a
  // failed save leaves the old name for the next Save.
  if (doc_.CurrentIndex() >= 0 && !Write(name)) return false;
  doc_.SetFileName(name);
  // The dialog asked before overwriting.
  nameNeverChosen_ = false;
  return doc_.CurrentIndex() >= 0;
}

}  // namespace draw
