#include "controllerapp/Seldir.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "platform/QtText.h"

namespace ctlapp {

TFRMSelDir::TFRMSelDir(QWidget* parent) : QDialog(parent) {
  setObjectName("FRMSelDir");
  setWindowTitle("Changing Directory");
  cboDrive = new QComboBox;
  cboDrive->setObjectName("cboDrive");
  cboDrive->addItem("/", "/");
  cboDrive->addItem(QDir::homePath(), QDir::homePath());

  model_ = new QFileSystemModel(this);
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
  model_->setRootPath("/");
  lstDir = new QTreeView;
  lstDir->setObjectName("lstDir");
  lstDir->setModel(model_);
  for (int c = 1; c < model_->columnCount(); ++c) lstDir->hideColumn(c);
  lstDir->header()->hide();
  connect(lstDir, &QTreeView::doubleClicked, this, [this] { btnOkClick(); });

  btnOk = new QPushButton("&Ok");
  btnOk->setObjectName("btnOk");
  btnOk->setDefault(true);
  btnCancel = new QPushButton("&Cancel");
  btnCancel->setObjectName("btnCancel");
  connect(btnOk, &QPushButton::clicked, this, &TFRMSelDir::btnOkClick);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(cboDrive, &QComboBox::currentIndexChanged, this,
          [this](int i) { SetRoot(cboDrive->itemData(i).toString()); });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  auto* top = new QVBoxLayout(this);
  top->addWidget(cboDrive);
  top->addWidget(lstDir);
  top->addLayout(buttons);
  resize(420, 360);
  SetRoot("/");
}

void TFRMSelDir::SetRoot(const QString& root) {
  lstDir->setRootIndex(model_->index(root));
  lstDir->setCurrentIndex(model_->index(root));
}

void TFRMSelDir::SetDirectory(const std::string& directory) {
  const QString dir = QDir(platform::ToQt(directory)).absolutePath();
  const QString home = QDir::homePath();
  const bool underHome = dir == home || dir.startsWith(home + "/");
  cboDrive->setCurrentIndex(underHome ? 1 : 0);
  SetRoot(cboDrive->currentData().toString());
  const QModelIndex index = model_->index(dir);
  if (index.isValid()) {
    lstDir->setCurrentIndex(index);
    lstDir->scrollTo(index);
  }
}

std::string TFRMSelDir::Directory() const {
  const QModelIndex index = lstDir->currentIndex();
  return platform::FromQt(index.isValid() ? model_->filePath(index) : cboDrive->currentData().toString());
}

void TFRMSelDir::btnOkClick() {
  chosen_ = Directory();
  accept();
}

}  // namespace ctlapp
