#include "ReportPageView.h"

#include "ReportRenderer.h"

#include <QPainter>

ReportPageView::ReportPageView(QWidget* parent) : QWidget(parent) {
    resizeToPage();
}

void ReportPageView::setPage(const ReportPage* page, QSizeF pageMm) {
    m_page = page;
    m_pageMm = pageMm;
    resizeToPage();
    update();
}

void ReportPageView::setPixelsPerMm(double pixelsPerMm) {
    m_pixelsPerMm = pixelsPerMm;
    resizeToPage();
    update();
}

void ReportPageView::resizeToPage() {
    setFixedSize((m_pageMm * m_pixelsPerMm).toSize());
}

void ReportPageView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!m_page)
        return;
    painter.setRenderHint(QPainter::TextAntialiasing);
    // The report font is sized in points for the paper; on screen it scales with the page.
    painter.scale(m_pixelsPerMm * 25.4 / logicalDpiY(), m_pixelsPerMm * 25.4 / logicalDpiY());
    ReportRenderer::paintPage(painter, *m_page, logicalDpiY() / 25.4);
}
