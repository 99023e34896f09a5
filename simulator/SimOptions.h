#pragma once

#include "common/Result.h"

#include <QString>
#include <QStringList>

// Command-line options of the simulated device.
struct SimOptions
{
    enum class Scene { Pattern, Test };

    QString listenAddress = QStringLiteral("127.0.0.1");
    int port = 7000;          // control port; 0 picks a free one
    QString imagePath;        // frames show this picture instead of the test pattern
    int width = 720;
    int height = 1280;
    int depth = 32;           // 16, 24 or 32 bits per pixel
    int channelOrder = 0;     // 0 or 24: red and blue go out exchanged
    int screencapMode = 0;
    double fps = 30;          // 0: as fast as the connection takes them
    QString storeDirectory;   // where imported packages are written; empty: kept in memory
    bool help = false;        // --help: show the usage and stop
    bool version = false;     // --version: show the version and stop
    Scene scene = Scene::Pattern; // what the screen shows without --image
    int reactMs = 0;          // touches and keys take effect this long after they arrive
    QString eventsPath;       // where every input and frame is written down with its time

    // The options the arguments (without the program name) give; fails with a message for an
    // unknown option or a bad value.
    static Result<SimOptions> parse(const QStringList &arguments);
    static QString usage();
};
