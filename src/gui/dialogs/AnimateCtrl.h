#pragma once

// Plays a numbered animation clip, a horizontal strip of frames among the program's resources,
// from its first frame to its last and again without end.

#include <vector>

#include <QLabel>
#include <QPixmap>
#include <QTimer>

class CAnimateCtrl : public QLabel {
    Q_OBJECT

public:
    explicit CAnimateCtrl(QWidget* pParent = nullptr);

    // Closes any clip, then opens clip nClip and plays it. False when there is no such clip.
    bool Open(int nClip);
    void Close();

    int GetClip() const { return m_nClip; }
    int GetFrameCount() const { return static_cast<int>(m_frames.size()); }
    int GetFrame() const { return m_nFrame; }
    bool IsPlaying() const { return m_timer.isActive(); }

private:
    void ShowFrame(int nFrame);

    QTimer m_timer;
    std::vector<QPixmap> m_frames;
    int m_nClip = 0;
    int m_nFrame = 0;
};
