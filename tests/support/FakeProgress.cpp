#include "FakeProgress.h"

#include <algorithm>

namespace vext::test {

namespace {

class FakeProgress : public IProgress {
public:
    explicit FakeProgress(FakeProgressFactory& factory) : m_factory(factory) {
        ++m_factory.nOpen;
        Log("Create");
    }
    ~FakeProgress() override {
        --m_factory.nOpen;
        Log("Close");
    }
    FakeProgress(const FakeProgress&) = delete;
    FakeProgress& operator=(const FakeProgress&) = delete;

    void SetCaption(const std::string& strCaption) override { Log("SetCaption " + strCaption); }
    void SetRange(int nLower, int nUpper) override {
        Log("SetRange " + std::to_string(nLower) + " " + std::to_string(nUpper));
    }
    void SetPos(int nPos) override { Log("SetPos " + std::to_string(nPos)); }
    void SetStep(int nStep) override { Log("SetStep " + std::to_string(nStep)); }
    void SetStatus(const std::string& strStatus) override { Log("SetStatus " + strStatus); }
    void StepIt() override { Log("StepIt"); }

private:
    void Log(const std::string& call) { m_factory.calls.push_back(call); }

    FakeProgressFactory& m_factory;
};

} // namespace

std::unique_ptr<IProgress> FakeProgressFactory::CreateProgress() {
    return std::make_unique<FakeProgress>(*this);
}

int FakeProgressFactory::Steps() const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), "StepIt"));
}

} // namespace vext::test
