#pragma once

#include <QFrame>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class SegraLabel;

// The MIN/MAX panel (`Panel3`): the peak rows ("MIN: "/"MAX: " with the reading's text and unit)
// and the two alarm limits, each an edit armed by a check box. It shows peaks it is given and
// reports that a limit's text or its box changed; reading the limits is someone else's job.
class LimitsPanel : public QFrame {
    Q_OBJECT
public:
    explicit LimitsPanel(QWidget* parent = nullptr);

    [[nodiscard]] QLabel* minText() const { return m_minText; }     // MinText
    [[nodiscard]] QLabel* maxText() const { return m_maxText; }     // MaxText
    [[nodiscard]] SegraLabel* minUnit() const { return m_minUnit; } // MinTextU
    [[nodiscard]] SegraLabel* maxUnit() const { return m_maxUnit; } // MaxTextU
    [[nodiscard]] QLineEdit* maxEdit() const { return m_maxEdit; }  // Setmax
    [[nodiscard]] QLineEdit* minEdit() const { return m_minEdit; }  // SetMin
    [[nodiscard]] QCheckBox* maxBox() const { return m_maxBox; }    // SetMaxB
    [[nodiscard]] QCheckBox* minBox() const { return m_minBox; }    // SetMinB

    // Both rows take the unit of the latest reading.
    void showPeaks(const QString& minText, const QString& maxText, const QString& unitText);
    void setLimitTexts(const QString& maxText, const QString& minText);

    [[nodiscard]] bool isMaxArmed() const;
    [[nodiscard]] bool isMinArmed() const;
    [[nodiscard]] QString maxLimitText() const;
    [[nodiscard]] QString minLimitText() const;

signals:
    // The edit's text changed (typing or a setter) or its check box was clicked.
    void maxLimitChanged();
    void minLimitChanged();

private:
    SegraLabel* m_minCaption = nullptr;
    SegraLabel* m_maxCaption = nullptr;
    QLabel* m_minText = nullptr;
    QLabel* m_maxText = nullptr;
    SegraLabel* m_minUnit = nullptr;
    SegraLabel* m_maxUnit = nullptr;
    QLineEdit* m_maxEdit = nullptr;
    QLineEdit* m_minEdit = nullptr;
    QCheckBox* m_maxBox = nullptr;
    QCheckBox* m_minBox = nullptr;
};
