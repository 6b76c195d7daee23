#pragma once
// The image-file section of the main window: save the panel's values as an
// image file, choose a file and load it back.
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

namespace kalmo {

class ImageFilePanel : public QWidget
{
    Q_OBJECT
public:
    explicit ImageFilePanel(QWidget *parent = nullptr);

    QPushButton *cmdSave = nullptr;       // "保存为镜像"
    QPushButton *cmdRead = nullptr;       // "浏览镜像文件"
    QLineEdit *txtISOAddr = nullptr;      // path of the chosen image file
    QPushButton *ReadTxtPublic = nullptr; // "导入所有参数"
};

} // namespace kalmo
