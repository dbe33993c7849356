// The logo panel's buttons on a real window (offscreen).
#include <QApplication>
#include <QTest>
#include <QToolButton>

#include "draw/LogoList.h"
#include "draw/LogoPanel.h"

class LogoPanelTest : public QObject {
  Q_OBJECT

 private slots:
  void previousAndNextShowArrowsAndKeepTheirHints() {
    draw::LogoList list;
    draw::LogoPanel panel(list);
    struct Case {
      QToolButton* button;
      Qt::ArrowType arrow;
      const char* hint;
    };
    for (const Case& c : {Case{panel.spdPrev, Qt::LeftArrow, "Previous Frame"},
                          Case{panel.spdNext, Qt::RightArrow, "Next Frame"}}) {
      QCOMPARE(c.button->arrowType(), c.arrow);
      QVERIFY2(c.button->text().isEmpty(), qPrintable(c.button->text()));
      QCOMPARE(c.button->toolTip(), QString(c.hint));
    }
  }
};

QTEST_MAIN(LogoPanelTest)
#include "LogoPanelTest.moc"
