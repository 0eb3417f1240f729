#include "gui/dialogs/AnimateCtrl.h"

#include <QFile>
#include <QImage>
#include <QStringList>

namespace {

struct ClipInfo {
    int nFrames = 0;
    int nWidth = 0;
    int nHeight = 0;
    int nIntervalMs = 0;
};

// The clip index: lines "id frames frameWidth frameHeight intervalMs", '#' starts a comment.
bool FindClipInfo(int nClip, ClipInfo& info) {
    QFile file(QStringLiteral(":/anim/anim.txt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList fields = line.simplified().split(QLatin1Char(' '));
        if (fields.size() != 5 || fields[0].toInt() != nClip)
            continue;
        info = {fields[1].toInt(), fields[2].toInt(), fields[3].toInt(), fields[4].toInt()};
        return info.nFrames > 0 && info.nFrames <= 1000 && info.nWidth > 0 && info.nHeight > 0 &&
               info.nIntervalMs > 0;
    }
    return false;
}

} // namespace

CAnimateCtrl::CAnimateCtrl(QWidget* pParent) : QLabel(pParent) {
    setAlignment(Qt::AlignCenter);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        if (!m_frames.empty())
            ShowFrame((m_nFrame + 1) % GetFrameCount());
    });
}

bool CAnimateCtrl::Open(int nClip) {
    Close();
    m_nClip = nClip;
    ClipInfo info;
    if (!FindClipInfo(nClip, info))
        return false;
    const QImage strip(QStringLiteral(":/anim/%1.png").arg(nClip));
    if (strip.width() < info.nFrames * info.nWidth || strip.height() < info.nHeight)
        return false;
    for (int i = 0; i < info.nFrames; ++i) {
        m_frames.push_back(
            QPixmap::fromImage(strip.copy(i * info.nWidth, 0, info.nWidth, info.nHeight)));
    }
    ShowFrame(0);
    m_timer.start(info.nIntervalMs);
    return true;
}

void CAnimateCtrl::Close() {
    m_timer.stop();
    m_frames.clear();
    m_nClip = 0;
    m_nFrame = 0;
    clear();
}

void CAnimateCtrl::ShowFrame(int nFrame) {
    m_nFrame = nFrame;
    setPixmap(m_frames[static_cast<std::size_t>(nFrame)]);
}
