#pragma once

#include "ReportDocument.h"

#include <QWidget>

// One report page drawn on white paper at a given scale; sized to the page, for a scroll area.
class ReportPageView : public QWidget {
    Q_OBJECT
public:
    explicit ReportPageView(QWidget* parent = nullptr);

    void setPage(const ReportPage* page, QSizeF pageMm);
    void setPixelsPerMm(double pixelsPerMm);
    [[nodiscard]] double pixelsPerMm() const { return m_pixelsPerMm; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void resizeToPage();

    const ReportPage* m_page = nullptr;
    QSizeF m_pageMm{210.0, 297.0};
    double m_pixelsPerMm = 1.0;
};
