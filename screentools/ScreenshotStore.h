#pragma once

#include "common/Result.h"

#include <QImage>
#include <QString>

#include <optional>

// Where screenshots go inside the active project, and writing them there.
class ScreenshotStore
{
public:
    // The remote screen window last made, as far as the saver needs it: the size of its last
    // frame as the device delivered it (not turned) and that frame's image mode.
    struct RemoteScreen
    {
        int width = 0;
        int height = 0;
        int screencapMode = 0;
    };

    // The name of a frame's image mode, as the remote screen window shows it and as the
    // screenshot directories are named: "兼容模式" for mode 2, "优化模式" for any other.
    static QString modeName(int screencapMode);
    // 工程目录/<project>/<mode>/<W>x<H> with a remote screen, else 工程目录/<project>/截图.
    static QString directory(const QString &projectName, const std::optional<RemoteScreen> &remote);
    // <directory>/截图_<seconds>.bmp; when that exists (an earlier capture in the same second),
    // the first free one of 截图_<seconds>_2.bmp, 截图_<seconds>_3.bmp, …
    static QString freeFilePath(const QString &directory, qint64 seconds);
    // Makes the directory and writes the picture as a bitmap into it. Returns the file written.
    static Result<QString> save(const QImage &picture, const QString &projectName,
                                const std::optional<RemoteScreen> &remote, qint64 seconds);
};
