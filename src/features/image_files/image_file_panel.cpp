#include "features/image_files/image_file_panel.h"

#include "features/common/controls.h"

#include <QGridLayout>
#include <QVBoxLayout>

namespace kalmo {

using namespace controls;

ImageFilePanel::ImageFilePanel(QWidget *parent) : QWidget(parent)
{
    auto *image = frame(this, QStringLiteral("imageFileFrame"), QStringLiteral("镜像文件"));
    cmdSave = button(image, QStringLiteral("cmdSave"), QStringLiteral("保存为镜像"));
    cmdRead = button(image, QStringLiteral("cmdRead"), QStringLiteral("浏览镜像文件"));
    txtISOAddr = lineEdit(image, QStringLiteral("txtISOAddr"));
    txtISOAddr->setPlaceholderText(QStringLiteral("镜像文件 (*.txt)"));
    ReadTxtPublic = button(image, QStringLiteral("ReadTxtPublic"), QStringLiteral("导入所有参数"));

    auto *grid = new QGridLayout(image);
    grid->addWidget(cmdRead, 0, 0);
    grid->addWidget(txtISOAddr, 0, 1);
    grid->addWidget(ReadTxtPublic, 0, 2);
    grid->addWidget(cmdSave, 1, 0);
    grid->setColumnStretch(1, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(image);
}

} // namespace kalmo
