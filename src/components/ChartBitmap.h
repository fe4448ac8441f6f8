#pragma once

#include <QString>

class QImage;

// Saving the chart's picture as a Windows bitmap. The file is written completely or not at all,
// and the message says which, naming the path.
class ChartBitmap {
public:
    struct Result {
        bool saved = false;
        QString message; // for the information box, or the reason it failed
    };

    // "c:\databmp.bmp" on Windows, where users look for it; elsewhere databmp.bmp in the user's
    // home folder, because that name is not a path outside Windows.
    [[nodiscard]] static QString defaultPath();

    [[nodiscard]] static Result save(const QImage& picture, const QString& path);
};
