// Text colour of a control, as &HBBGGRR.
#pragma once

#include "platform/colors.h"

#include <QPalette>
#include <QWidget>

namespace tarvic {

inline void setForeColor(QWidget* control, uint32_t bgr)
{
    QPalette palette = control->palette();
    palette.setColor(QPalette::WindowText, fromBgr(bgr));
    palette.setColor(QPalette::Text, fromBgr(bgr));
    palette.setColor(QPalette::ButtonText, fromBgr(bgr));
    control->setPalette(palette);
}

inline uint32_t foreColor(const QWidget* control)
{
    return toBgr(control->palette().color(QPalette::WindowText));
}

}  // namespace tarvic
