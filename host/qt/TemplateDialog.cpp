#include "host/qt/TemplateDialog.h"

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

// The template's typeface is rarely installed here; its point size still sets the scale.
QFont DialogFont(const CDialogTemplate& dialog) {
    QFont font = QApplication::font();
    if (!dialog.fontName.empty()) font.setFamilies({QString::fromStdString(dialog.fontName)});
    if (dialog.pointSize > 0) font.setPointSize(dialog.pointSize);
    return font;
}

// Icon resources belong to the module; the container shows the application's icon, or the
// style's information icon when there is none.
QPixmap IconPixmap(const QWidget* dialog, QSize size) {
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) icon = dialog->style()->standardIcon(QStyle::SP_MessageBoxInformation);
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

TemplateDialog::TemplateDialog(const CDialogTemplate& dialog, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromStdString(dialog.caption));
    setFont(DialogFont(dialog));
    QFontMetrics fm(font());
    static const QString kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    m_baseX = (fm.horizontalAdvance(kAlphabet) / 26 + 1) / 2;
    m_baseY = fm.height();

    QButtonGroup* radioGroup = nullptr;
    for (const CDialogItem& item : dialog.items) {
        const QString text = QString::fromStdString(item.text);
        const QRect r = ToPixels(item.x, item.y, item.cx, item.cy);
        QWidget* w = nullptr;
        switch (item.kind) {
            case DialogItemKind::Label:
                w = new QLabel(LabelText(item.text), this);
                break;
            case DialogItemKind::Icon: {
                auto* label = new QLabel(this);
                const int32_t side = std::max(r.height(), 32);
                label->setPixmap(IconPixmap(this, QSize(side, side)));
                label->setGeometry(r.x(), r.y(), side, side);
                label->setObjectName(QString("item%1").arg(item.id));
                continue;
            }
            case DialogItemKind::Edit:
                w = new QLineEdit(this);
                break;
            case DialogItemKind::PushButton:
            case DialogItemKind::DefPushButton: {
                auto* button = new QPushButton(text, this);
                button->setDefault(item.kind == DialogItemKind::DefPushButton);
                button->setAutoDefault(item.kind == DialogItemKind::DefPushButton);
                const int32_t id = item.id;
                connect(button, &QPushButton::clicked, this, [this, id] {
                    m_closedBy = id;
                    done(id == IDCANCEL ? QDialog::Rejected : QDialog::Accepted);
                });
                w = button;
                break;
            }
            case DialogItemKind::RadioButton: {
                auto* radio = new QRadioButton(text, this);
                if (item.group || !radioGroup) {
                    radioGroup = new QButtonGroup(this);
                }
                radioGroup->addButton(radio);
                w = radio;
                break;
            }
            case DialogItemKind::CheckBox:
                w = new QCheckBox(text, this);
                break;
            case DialogItemKind::GroupBox:
                w = new QGroupBox(text, this);
                w->lower();
                break;
        }
        w->setGeometry(r);
        w->setObjectName(QString("item%1").arg(item.id));
        if (!item.tabStop) w->setFocusPolicy(Qt::NoFocus);
    }
    setFixedSize(ToPixels(0, 0, dialog.cx, dialog.cy).size());
}

QRect TemplateDialog::ToPixels(int32_t x, int32_t y, int32_t cx, int32_t cy) const {
    return QRect(x * m_baseX / 4, y * m_baseY / 8, cx * m_baseX / 4, cy * m_baseY / 8);
}

int32_t TemplateDialog::Run() {
    m_closedBy = IDCANCEL;
    exec();
    return m_closedBy;
}
