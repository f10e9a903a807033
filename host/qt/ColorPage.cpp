#include "host/qt/ColorPage.h"

#include <QColorDialog>
#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSpinBox>
#include <algorithm>

#include "framework/OleControl.h"

ColorPage::ColorPage(COleControl& control, QWidget* parent)
    : FramePage(parent), m_control(control) {
    // OLE_COLOR is how automation types a colour; every read-write property of that type is
    // one to edit here.
    for (const CDispEntry& e : control.GetDispatchMap()) {
        if (e.kind != DispKind::Property || e.vt != VT_COLOR || !e.get || !e.set) continue;
        CVariant value;
        if (FAILED(control.GetProperty(e.dispid, &value, VT_COLOR))) continue;
        m_entries.push_back({QString::fromStdString(e.name), e.dispid, value.ulVal(), false});
    }
    std::sort(m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) {
        return a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });

    m_property = new QComboBox(this);
    m_property->setObjectName("colorProperty");
    for (const Entry& e : m_entries) m_property->addItem(e.name);

    auto spin = [this](const char* name) {
        auto* box = new QSpinBox(this);
        box->setObjectName(name);
        box->setRange(0, 255);
        connect(box, &QSpinBox::valueChanged, this, [this] {
            if (!m_showing) OnFieldsEdited();
        });
        return box;
    };
    m_red = spin("red");
    m_green = spin("green");
    m_blue = spin("blue");
    m_swatch = new QFrame(this);
    m_swatch->setObjectName("swatch");
    m_swatch->setFrameShape(QFrame::Box);
    m_swatch->setMinimumSize(48, 24);
    m_swatch->setAutoFillBackground(true);
    auto* choose = new QPushButton("&Choose...", this);
    choose->setObjectName("chooseColor");
    connect(choose, &QPushButton::clicked, this, [this] { ChooseColor(); });

    auto* colorRow = new QHBoxLayout;
    colorRow->addWidget(m_swatch);
    colorRow->addWidget(choose);
    colorRow->addStretch();
    auto* form = new QFormLayout(this);
    form->addRow("&Property:", m_property);
    form->addRow("&Red:", m_red);
    form->addRow("&Green:", m_green);
    form->addRow("&Blue:", m_blue);
    form->addRow("Color:", colorRow);

    connect(m_property, &QComboBox::currentIndexChanged, this, [this] { ShowEntry(); });
    m_property->setEnabled(!m_entries.empty());
    choose->setEnabled(!m_entries.empty());
    ShowEntry();
}

bool ColorPage::IsDirty() const {
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [](const Entry& e) { return e.changed; });
}

bool ColorPage::Apply(QString* prompt, QWidget** field) {
    for (Entry& e : m_entries) {
        if (!e.changed) continue;
        if (FAILED(m_control.SetProperty(e.dispid, CVariant::Color(e.value)))) {
            *prompt = QString("%1 could not be set.").arg(e.name);
            SelectProperty(e.name);
            *field = m_property;
            return false;
        }
        e.changed = false;
    }
    return true;
}

bool ColorPage::SelectProperty(const QString& name) {
    const int index = m_property->findText(name);
    if (index < 0) return false;
    m_property->setCurrentIndex(index);
    return true;
}

QColor ColorPage::ShownColor() const {
    return QColor(m_red->value(), m_green->value(), m_blue->value());
}

void ColorPage::SetColor(const QColor& color) {
    if (m_entries.empty()) return;
    m_showing = true;
    m_red->setValue(color.red());
    m_green->setValue(color.green());
    m_blue->setValue(color.blue());
    m_showing = false;
    OnFieldsEdited();
}

void ColorPage::ShowEntry() {
    const int index = m_property->currentIndex();
    if (index < 0) return;
    // A system or palette colour shows as what it stands for; it stays as it is unless edited.
    const COLORREF rgb = m_control.TranslateColor(m_entries[size_t(index)].value);
    m_showing = true;
    m_red->setValue(GetRValue(rgb));
    m_green->setValue(GetGValue(rgb));
    m_blue->setValue(GetBValue(rgb));
    m_showing = false;
    UpdateSwatch();
}

void ColorPage::OnFieldsEdited() {
    const int index = m_property->currentIndex();
    if (index < 0) return;
    Entry& e = m_entries[size_t(index)];
    e.value = RGB(uint8_t(m_red->value()), uint8_t(m_green->value()), uint8_t(m_blue->value()));
    e.changed = true;
    UpdateSwatch();
    Q_EMIT edited();
}

void ColorPage::UpdateSwatch() {
    QPalette pal = m_swatch->palette();
    pal.setColor(QPalette::Window, ShownColor());
    m_swatch->setPalette(pal);
}

void ColorPage::ChooseColor() {
    QColorDialog dialog(ShownColor(), this);
    dialog.setObjectName("colorDialog");
    dialog.setWindowTitle(QString("%1 - choose a colour").arg(m_property->currentText()));
    if (dialog.exec() == QDialog::Accepted) SetColor(dialog.selectedColor());
}
