#pragma once
// The logo list: logos cut out of the working view with the clipping box, the
// current logo, and the File commands that keep the list as a logo file.
// No widgets: the logo panel and the File menu call into it.
#include <QImage>
#include <QRect>
#include <functional>
#include <optional>
#include <string>

#include "common/Raster.h"
#include "draw/LogoDocument.h"

namespace draw {

inline constexpr char kDeleteQuestion[] = "Are you sure to delete ?";
inline constexpr char kSaveChangesQuestion[] =
    "The changes to the current pictures will be lost! Save the current pictures?";
inline constexpr char kTooManyLogos[] = "The maximum of logos is 255!";
inline constexpr char kNewLogoFileName[] = "NEW.LOG";

// Which of the list's buttons (and menu items) can be used.
struct LogoButtons {
  bool deleteLogo = false;
  bool clear = false;
  bool edit = false;
  bool previous = false;
  bool next = false;
  bool operator==(const LogoButtons&) const = default;
};

// The logo the clipping box `box` (view pixels) cuts out of `view`: as wide as
// the box and always signHeight sign pixels high; a shorter box leaves black
// rows below, a taller one is cut, and columns beyond the sign width stay black.
QImage CaptureLogo(const QImage& view, raster::Box box, int signWidth, int signHeight);

class LogoList {
 public:
  // The file dialogs; an empty answer is a cancelled dialog. Tests replace them.
  // open gets the name the dialog starts with, save the current file name.
  std::function<std::string(const std::string& initial)> openDialog;
  std::function<std::string(const std::string& current)> saveDialog;
  // The directory in which a new list is named NEW.LOG and Open starts.
  std::function<std::string()> currentDirectory;

  LogoList();

  LogoDocument& Document() { return doc_; }
  const LogoDocument& Document() const { return doc_; }
  int Count() const { return doc_.Count(); }
  int CurrentIndex() const { return doc_.CurrentIndex(); }
  const QImage* CurrentLogo() const;

  // "%d/%d  %d X %d": current number, count, and the current logo's height and
  // width in sign pixels (0 X 0 without one).
  std::string InfoText() const;
  LogoButtons Buttons() const;

  // An empty list named NEW.LOG in the current directory, not modified.
  void NewLogoFile();

  // Insert a logo captured from the box after the current one and make it
  // current; refused with a warning when the list holds 255 already.
  bool Insert(const QImage& view, raster::Box box, int signWidth, int signHeight);
  // The current logo captured again (Insert when there is none).
  bool Replace(const QImage& view, raster::Box box, int signWidth, int signHeight);
  // Deletes the current logo once the question is answered Yes.
  bool Delete();
  // The current logo blackened.
  void Clear();
  void Previous();
  void Next();
  void Choose(int index);
  // The current logo drawn at the view's top left; its rectangle, for the
  // clipping box to frame. Nothing without a current logo.
  std::optional<QRect> Edit(QImage& view) const;

  // Yes (also when nothing needs saving), No or Cancel, as dialog results.
  // Yes saves first; a save that did not happen counts as Cancel.
  int AskSaveChanges();
  // The File commands; each reports its own failure in a box and returns
  // whether it did its work.
  bool New();
  bool Open();
  bool Save();
  bool SaveAs();

 private:
  bool Write(const std::string& name);
  std::string InCurrentDirectory(const std::string& name) const;

  LogoDocument doc_;
  // Named NEW.LOG by the program, not by the user: the first save over an
  // existing file of that name asks first.
  bool nameNeverChosen_ = true;
};

}  // namespace draw
