// The Qt message boxes, offscreen: the box's own caption and text show what
// the programs hold, UTF-8 as written and Latin-1 where the bytes are not
// UTF-8, and each kind of box answers with its buttons.
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include <string>

#include "platform/QtMessageBoxes.h"
#include "testsupport/WhenModal.h"

using platform::BoxButtons;
using platform::BoxType;

namespace {

struct Seen {
  QString caption;
  QString text;
  QStringList buttons;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Shows `request` through the Qt boxes; reads the box once it is up and
// presses the button captioned `press`.
int ShowAndRead(const platform::BoxRequest& request, const QString& press, Seen& seen) {
  testsupport::WhenModal<QMessageBox>([&seen, press](QMessageBox* box) {
    seen.caption = box->windowTitle();
    seen.text = box->text();
    seen.icon = box->icon();
    QAbstractButton* chosen = nullptr;
    for (QAbstractButton* b : box->buttons()) {
      seen.buttons << b->text();
      if (b->text() == press) chosen = b;
    }
    seen.buttons.sort();  // in the order the style lays them out otherwise
    if (chosen) {
      chosen->click();
    } else {
      box->reject();
    }
  });
  platform::QtMessageBoxes boxes;
  return boxes.Show(request);
}

}  // namespace

class QtMessageBoxesTest : public QObject {
  Q_OBJECT

 private slots:
  void aBoxShowsItsTextAsTheFileSystemHasIt_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("umlauts and accents")
        << QByteArray("/home/zo\xC3\xAB/Schilder f\xC3\xBCr Zo\xC3\xAB/Caf\xC3\xA9.LOG is not a valid logo file!")
        << QString::fromUtf16(u"/home/zo\u00EB/Schilder f\u00FCr Zo\u00EB/Caf\u00E9.LOG is not a valid logo file!");
    QTest::newRow("Chinese letters")
        << QByteArray("/srv/\xE6\x8B\x9B\xE7\x89\x8C/\xE5\xA4\xA7\xE9\x96\x80.MSG does not exist")
        << QString::fromUtf16(u"/srv/\u62DB\u724C/\u5927\u9580.MSG does not exist");
    QTest::newRow("a sign name and the report")
        << QByteArray("\xE5\xA4\xA7\xE9\x96\x80 Zo\xC3\xAB: Sended completely !!")
        << QString::fromUtf16(u"\u5927\u9580 Zo\u00EB: Sended completely !!");
    // A name from another system: its bytes as Latin-1 letters.
    QTest::newRow("bytes that are not UTF-8")
        << QByteArray("/tmp/caf\xE9.MSG cannot be read!")
        << QString::fromUtf16(u"/tmp/caf\u00E9.MSG cannot be read!");
  }
  void aBoxShowsItsTextAsTheFileSystemHasIt() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    const std::string text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    for (BoxType type : {BoxType::Warning, BoxType::Information, BoxType::Error}) {
      Seen seen;
      const int result = ShowAndRead({type, BoxButtons::Ok, "Warnung f\xC3\xBCr Zo\xC3\xAB", text}, "OK", seen);
      QCOMPARE(result, int(platform::kResultOk));
      QCOMPARE(seen.text, shown);
      QCOMPARE(seen.caption, QString::fromUtf16(u"Warnung f\u00FCr Zo\u00EB"));
      QCOMPARE(seen.buttons, QStringList{"OK"});
    }
  }

  void questionsShowTheirTextAndAnswerWithTheirButtons() {
    const std::string question = "\xE5\xA4\xA7\xE9\x96\x80.SML already exists. Replace it?";
    const QString shown = QString::fromUtf16(u"\u5927\u9580.SML already exists. Replace it?");
    Seen yes;
    QCOMPARE(ShowAndRead({BoxType::Information, BoxButtons::YesNo, "Information", question}, "&Yes", yes),
             int(platform::kResultYes));
    QCOMPARE(yes.text, shown);
    QCOMPARE(yes.icon, QMessageBox::Information);
    QCOMPARE(yes.buttons, (QStringList{"&No", "&Yes"}));
    Seen closed;
    QCOMPARE(ShowAndRead({BoxType::Information, BoxButtons::YesNo, "Information", question}, QString(), closed),
             int(platform::kResultNo));
    Seen no;
    QCOMPARE(ShowAndRead({BoxType::Information, BoxButtons::YesNoCancel, "Information", question}, "&No", no),
             int(platform::kResultNo));
    QCOMPARE(no.text, shown);
    QCOMPARE(no.buttons, (QStringList{"&No", "&Yes", "Cancel"}));
    Seen cancel;
    QCOMPARE(ShowAndRead({BoxType::Information, BoxButtons::YesNoCancel, "Information", question}, QString(), cancel),
             int(platform::kResultCancel));
  }
};

QTEST_MAIN(QtMessageBoxesTest)
#include "QtMessageBoxesTest.moc"
