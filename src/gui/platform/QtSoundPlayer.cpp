// SPDX-License-Identifier: MIT

#include "gui/platform/QtSoundPlayer.h"

#include <QFile>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

#include "gui/platform/TextCodec.h"

namespace tessel::gui {

QtSoundPlayer::QtSoundPlayer(QObject* parent) : QObject(parent) {}

QtSoundPlayer::~QtSoundPlayer() = default;

QString QtSoundPlayer::LocalFileName(const std::string& path) {
    return FromCorePath(path);
}

void QtSoundPlayer::Play(const std::string& path) {
    const QString file = path.empty() ? QString() : LocalFileName(path);
    QMetaObject::invokeMethod(
        this, [this, file] { PlayOnGuiThread(file); }, Qt::QueuedConnection);
}

void QtSoundPlayer::PlayOnGuiThread(const QString& file) {
    const QFileInfo info(file);
    if (file.isEmpty() || !info.isFile() || !info.isReadable()) {
        lastStarted_.clear();
        emit requestHandled(lastStarted_);
        return;
    }
    if (effect_) {
        effect_->stop();
        effect_->deleteLater();
    }
    effect_ = new QSoundEffect(this);
    QSoundEffect* effect = effect_;
    // The effect loads in the background; it plays once loaded, and a file that turns out
    // not to be a sound ends in the error state without a sound.
    connect(effect, &QSoundEffect::statusChanged, effect, [effect] {
        if (effect->status() == QSoundEffect::Ready && !effect->isPlaying()) {
            effect->play();
        }
    });
    effect->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
    lastStarted_ = info.absoluteFilePath();
    emit requestHandled(lastStarted_);
}

}  // namespace tessel::gui
