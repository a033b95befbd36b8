#include "RecordingFixture.h"
using Microsoft::WRL::ComPtr;
namespace recording_tests {
TEST_F(RecordingTest, Debug)
{
    ComPtr<IDispatch> name, secret;
    recorder_->AttachProvider(Element(L"name"), name);
    recorder_->AttachProvider(Element(L"secret"), secret);
    printf("nodes name %p secret %p\n", (void*)Element(L"name"), (void*)Element(L"secret"));
    printf("type %s\n", Renderer("type secret hunter2").c_str());
    recorder_->WaitForFired(1, 3000);
    for (auto& e : recorder_->Fired())
        printf("%ls\n", e.record->Describe().c_str());
}
} // namespace recording_tests
