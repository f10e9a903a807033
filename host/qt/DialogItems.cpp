#include "host/qt/DialogItems.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <algorithm>

namespace {

// Icon resources belong to the module; the container shows the application's icon, or the
// style's information icon when there is none.
QPixmap IconPixmap(const QWidget* owner, QSize size) {
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) icon = owner->style()->standardIcon(QStyle::SP_MessageBoxInformation);
    return icon.pixmap(size);
}

// Static text marks a mnemonic with '&' and writes a literal one as "&&".
QString LabelText(const CString& text) {
    QString out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) ++i;
        out += QChar::fromLatin1(text[i]);
    }
    return out;
}

}  // namespace

DialogUnits::DialogUnits(const QFont& font) {
    QFontMetrics fm(font);
    static const QString kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    m_baseX = (fm.horizontalAdvance(kAlphabet) / 26 + 1) / 2;
    m_baseY = fm.height();
}

QRect DialogUnits::ToPixels(int32_t x, int32_t y, int32_t cx, int32_t cy) const {
    return QRect(x * m_baseX / 4, y * m_baseY / 8, cx * m_baseX / 4, cy * m_baseY / 8);
}

QFont DialogFont(const CDialogTemplate& dialog) {
    QFont font = QApplication::font();
    if (!dialog.fontName.empty()) font.setFamilies({QString::fromStdString(dialog.fontName)});
    if (dialog.pointSize > 0) font.setPointSize(dialog.pointSize);
    return font;
}

std::vector<QWidget*> BuildDialogItems(const CDialogTemplate& dialog, QWidget* parent) {
    const DialogUnits units(parent->font());
    std::vector<QWidget*> widgets;
    QButtonGroup* radioGroup = nullptr;
    for (const CDialogItem& item : dialog.items) {
        const QString text = QString::fromStdString(item.text);
        QRect r = units.ToPixels(item.x, item.y, item.cx, item.cy);
        QWidget* w = nullptr;
        switch (item.kind) {
            case DialogItemKind::Label:
                w = new QLabel(LabelText(item.text), parent);
                break;
            case DialogItemKind::Icon: {
                auto* label = new QLabel(parent);
                const int32_t side = std::max(r.height(), 32);
                label->setPixmap(IconPixmap(parent, QSize(side, side)));
                r.setSize(QSize(side, side));
                w = label;
                break;
            }
            case DialogItemKind::Edit:
                w = new QLineEdit(parent);
                break;
            case DialogItemKind::PushButton:
            case DialogItemKind::DefPushButton: {
                auto* button = new QPushButton(text, parent);
                button->setDefault(item.kind == DialogItemKind::DefPushButton);
                button->setAutoDefault(item.kind == DialogItemKind::DefPushButton);
                w = button;
                break;
            }
            case DialogItemKind::RadioButton: {
                auto* radio = new QRadioButton(text, parent);
                if (item.group || !radioGroup) radioGroup = new QButtonGroup(parent);
                radioGroup->addButton(radio);
                w = radio;
                break;
            }
            case DialogItemKind::CheckBox:
                w = new QCheckBox(text, parent);
                break;
            case DialogItemKind::GroupBox:
                w = new QGroupBox(text, parent);
                w->lower();
                break;
        }
        w->setGeometry(r);
        w->setObjectName(QString("item%1").arg(item.id));
        if (!item.tabStop) w->setFocusPolicy(Qt::NoFocus);
        widgets.push_back(w);
    }
    return widgets;
}
