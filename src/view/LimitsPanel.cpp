#include "LimitsPanel.h"

#include "PanelStyle.h"
#include "SegraLabel.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

using namespace PanelStyle;

namespace {

const QColor kPanelColour(0xCA, 0xFF, 0xE4);

QLabel* textLabel(QWidget* parent, const char* name, const QString& text, const QRect& bounds) {
    auto* l = place(new QLabel(text, parent), name, bounds.x(), bounds.y(), bounds.width(),
                    bounds.height());
    l->setFont(arialFont(14, false));
    return l;
}

SegraLabel* symbolLabel(QWidget* parent, const char* name, const QString& text, const QRect& bounds,
                        int pixels, bool bold) {
    auto* l = place(new SegraLabel(text, parent), name, bounds.x(), bounds.y(), bounds.width(),
                    bounds.height());
    l->setPixelHeight(pixels);
    l->setBold(bold);
    l->setColor(Qt::black);
    l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return l;
}

} // namespace

LimitsPanel::LimitsPanel(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("Panel3"));
    setBackground(this, kPanelColour);
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_minCaption = symbolLabel(this, "Label11", "MIN: ", {8, 9, 40, 16}, 12, true);
    m_maxCaption = symbolLabel(this, "Label12", "MAX: ", {8, 29, 40, 16}, 12, true);
    m_minText = textLabel(this, "MinText", "8001", {48, 9, 48, 16});
    m_maxText = textLabel(this, "MaxText", "-8001", {48, 29, 48, 16});
    m_minUnit = symbolLabel(this, "MinTextU", "*", {96, 8, 60, 18}, 14, false);
    m_maxUnit = symbolLabel(this, "MaxTextU", "*", {96, 28, 60, 18}, 14, false);
    m_maxBox = place(new QCheckBox(QStringLiteral("SetMax:"), this), "SetMaxB", 159, 6, 68, 17);
    m_maxEdit = place(new QLineEdit(QStringLiteral("8000"), this), "Setmax", 227, 3, 65, 21);
    m_minBox = place(new QCheckBox(QStringLiteral("SetMin: "), this), "SetMinB", 159, 29, 65, 17);
    m_minEdit = place(new QLineEdit(QStringLiteral("-8000"), this), "SetMin", 227, 26, 65, 21);
    setGeometry(3, 188, 298, 50);

    connect(m_maxEdit, &QLineEdit::textChanged, this, &LimitsPanel::maxLimitChanged);
    connect(m_maxBox, &QCheckBox::clicked, this, &LimitsPanel::maxLimitChanged);
    connect(m_minEdit, &QLineEdit::textChanged, this, &LimitsPanel::minLimitChanged);
    connect(m_minBox, &QCheckBox::clicked, this, &LimitsPanel::minLimitChanged);
}

void LimitsPanel::showPeaks(const QString& minText, const QString& maxText,
                            const QString& unitText) {
    m_maxText->setText(maxText);
    m_minText->setText(minText);
    m_maxUnit->setText(unitText);
    m_minUnit->setText(unitText);
}

void LimitsPanel::setLimitTexts(const QString& maxText, const QString& minText) {
    m_maxEdit->setText(maxText);
    m_minEdit->setText(minText);
}

bool LimitsPanel::isMaxArmed() const {
    return m_maxBox->isChecked();
}

bool LimitsPanel::isMinArmed() const {
    return m_minBox->isChecked();
}

QString LimitsPanel::maxLimitText() const {
    return m_maxEdit->text();
}

QString LimitsPanel::minLimitText() const {
    return m_minEdit->text();
}
