// SPDX-License-Identifier: MIT

#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <string>

#include "platform/SoundPlayer.h"

class QSoundEffect;

namespace tessel::gui {

// Sound-play requests and the notification sound through Qt Multimedia. Play may be called
// from the connection thread; the file is checked and played on the GUI thread, without
// waiting for it to load or finish. A new sound replaces one still playing. A path naming no
// readable file plays nothing; a file Qt cannot decode plays nothing either.
class QtSoundPlayer : public QObject, public SoundPlayer {
    Q_OBJECT

  public:
    explicit QtSoundPlayer(QObject* parent = nullptr);
    ~QtSoundPlayer() override;

    void Play(const std::string& path) override;

    // The file the last request started, empty when it named nothing playable.
    QString lastStarted() const { return lastStarted_; }

    // The core's path bytes as a file name: UTF-8 as the file system holds them, or, when no
    // such file exists, the code page 932 text a peer or an old settings file sent.
    static QString LocalFileName(const std::string& path);

  signals:
    // Emitted on the GUI thread for each request, with the file started (empty: nothing).
    void requestHandled(const QString& started);

  private:
    void PlayOnGuiThread(const QString& file);

    QPointer<QSoundEffect> effect_;
    QString lastStarted_;
};

}  // namespace tessel::gui
