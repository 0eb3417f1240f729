#include "gui/dialogs/ProgressFactory.h"

#include "gui/dialogs/ProgressDlg.h"

#include <QString>

namespace vext {

namespace {

class ProgressWindow : public IProgress {
public:
    ProgressWindow() { m_dlg.Create(nullptr); }
    ~ProgressWindow() override { m_dlg.DestroyWindow(); }

    void SetCaption(const std::string& strCaption) override {
        m_dlg.setWindowTitle(QString::fromStdString(strCaption));
    }
    void SetRange(int nLower, int nUpper) override { m_dlg.SetRange(nLower, nUpper); }
    void SetPos(int nPos) override { m_dlg.SetPos(nPos); }
    void SetStep(int nStep) override { m_dlg.SetStep(nStep); }
    void SetStatus(const std::string& strStatus) override {
        m_dlg.SetStatus(QString::fromStdString(strStatus));
    }
    void StepIt() override { m_dlg.StepIt(); }

private:
    CProgressDlg m_dlg;
};

} // namespace

std::unique_ptr<IProgress> ProgressDlgFactory::CreateProgress() {
    return std::make_unique<ProgressWindow>();
}

} // namespace vext
