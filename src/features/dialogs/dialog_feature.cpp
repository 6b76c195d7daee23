#include "features/dialogs/dialog_feature.h"

#include "features/dialogs/dialog_window.h"

#include <QApplication>

namespace kalmo {

void DialogFeature::push(qint16 code)
{
    if (window().chosenLink() == Link::None) return;
    session().dispatcher().stack().push(code);
}

void DialogFeature::pushWrite(bool filled, qint16 code)
{
    if (!filled) {
        window().showBox(
            {QMessageBox::NoIcon, QApplication::applicationDisplayName(), kReadFirstText});
        return;
    }
    push(code);
}

} // namespace kalmo
