// The widgets of a dialog template, placed in dialog units the way the template gives them.
// The About box and the property pages are both built this way.
#pragma once

#include <QFont>
#include <QRect>
#include <vector>

#include "framework/DialogTemplate.h"

class QWidget;

// Dialog units of a font: x in quarters of the average character width, y in eighths of
// the character height.
class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);
    QRect ToPixels(int32_t x, int32_t y, int32_t cx, int32_t cy) const;

private:
    int32_t m_baseX = 0;
    int32_t m_baseY = 0;
};

// The template's font; its typeface is rarely installed here, its point size still sets the
// scale.
QFont DialogFont(const CDialogTemplate& dialog);

// Makes the template's items children of parent, in template order, one widget per item,
// each named "item<id>". Radio buttons share an exclusive QButtonGroup from the first of
// their group to the next. Items without a tab stop take no focus. parent's font is used
// for the units, so set it first.
std::vector<QWidget*> BuildDialogItems(const CDialogTemplate& dialog, QWidget* parent);
