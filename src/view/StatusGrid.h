#pragma once

#include "AppendingTableView.h"

class StatusPlace;

// The grid of the table of readings with the window's status place below its rows: while
// something is said the rows end above the status lines, and the horizontal scroll bar stays
// below them, so a message is never hidden under the scroll bar and never covers a row.
class StatusGrid : public AppendingTableView {
    Q_OBJECT
public:
    explicit StatusGrid(QWidget* parent = nullptr);

    [[nodiscard]] StatusPlace* statusPlace() const { return m_status; }

protected:
    void updateGeometries() override;
    bool viewportEvent(QEvent* event) override;

private:
    void makeRoomForStatus();
    void placeStatus();

    StatusPlace* m_status = nullptr;
    bool m_placing = false;
};
