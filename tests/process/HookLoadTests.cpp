// Loading the library: product path rules and refusal without either type
// library.
#include <gtest/gtest.h>

#include <cwctype>

#include "HookHostRun.h"
#include "platform/com/BStr.h"

using namespace testsupport;

namespace {

std::string Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return Narrow(text);
}

TEST(HookLoad, DefaultLayoutLoadsAndSetsProductPath)
{
    ChildResult run = RunHookHost(L"");
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.Value("load: "), "ok") << run.output;
    std::string expected = Lower(LayoutDirectory());
    EXPECT_EQ(run.Value("env Vantorix8_Product_Path="), expected);
    EXPECT_EQ(run.Value("env Vantorix8_Product_PathAlternative="), "<unset>");
    EXPECT_EQ(run.Value("env PATH="), expected + ";" + Narrow(KnownPath));
}

TEST(HookLoad, RefusedWithoutHostTypeLibrary)
{
    TempDirectory product;
    ASSERT_TRUE(CopyFileTo(LayoutLibrary(), product / L"vxCrHook.dll"));
    ChildResult run = RunHookHost(L"--vxhost-dll=" + Quote(product / L"vxCrHook.dll"));
    EXPECT_EQ(run.Value("load: "), "failed 1114") << run.output; // ERROR_DLL_INIT_FAILED
}

TEST(HookLoad, RefusedWithoutOwnTypeLibrary)
{
    // The library reads its own type library from "<its folder>\vxCrHook.dll":
    // under another file name it finds none and refuses to load.
    TempDirectory product;
    ASSERT_TRUE(MakeDirectory(product / L"Extensions"));
    ASSERT_TRUE(CopyFileTo(LayoutLibrary(), product / L"renamed.dll"));
    ASSERT_TRUE(CopyFileTo(LayoutDirectory() + L"\\Extensions\\vxOpenAppServices.tlb",
                           product / L"Extensions\\vxOpenAppServices.tlb"));
    ChildResult run = RunHookHost(L"--vxhost-dll=" + Quote(product / L"renamed.dll"));
    EXPECT_EQ(run.Value("load: "), "failed 1114") << run.output;

    // The same folder with the right name loads: the refusal was the name.
    ASSERT_TRUE(CopyFileTo(LayoutLibrary(), product / L"vxCrHook.dll"));
    run = RunHookHost(L"--vxhost-dll=" + Quote(product / L"vxCrHook.dll"));
    EXPECT_EQ(run.Value("load: "), "ok") << run.output;
}

TEST(HookLoad, LibraryInExtensionsFolderUsesItsParentAsProduct)
{
    TempDirectory product;
    std::wstring extensions = product / L"Extensions";
    ASSERT_TRUE(MakeDirectory(extensions));
    ASSERT_TRUE(CopyFileTo(LayoutLibrary(), extensions + L"\\vxCrHook.dll"));
    ASSERT_TRUE(CopyFileTo(LayoutDirectory() + L"\\Extensions\\vxOpenAppServices.tlb",
                           extensions + L"\\vxOpenAppServices.tlb"));
    ChildResult run = RunHookHost(L"--vxhost-dll=" + Quote(extensions + L"\\vxCrHook.dll"));
    EXPECT_EQ(run.Value("load: "), "ok") << run.output;
    std::string expected = Lower(product.Path());
    EXPECT_EQ(run.Value("env Vantorix8_Product_Path="), expected);
    EXPECT_EQ(run.Value("env PATH="), expected + ";" + Narrow(KnownPath));
}

TEST(HookLoad, PresetVariableIsKeptAndPathUntouched)
{
    ChildOptions options;
    options.setEnvironment[L"Vantorix8_Product_Path"] = LayoutDirectory();
    ChildResult run = RunHookHost(L"", options);
    EXPECT_EQ(run.Value("load: "), "ok") << run.output;
    EXPECT_EQ(run.Value("env Vantorix8_Product_Path="), Narrow(LayoutDirectory()));
    EXPECT_EQ(run.Value("env PATH="), Narrow(KnownPath));
}

TEST(HookLoad, PresetVariablePointsTheHostTypeLibraryElsewhere)
{
    // The host's type library is looked up under the variable's folder, not
    // next to the library.
    TempDirectory elsewhere;
    ChildOptions options;
    options.setEnvironment[L"Vantorix8_Product_Path"] = elsewhere.Path();
    ChildResult run = RunHookHost(L"", options);
    EXPECT_EQ(run.Value("load: "), "failed 1114") << run.output;
}

TEST(HookLoad, AlternativeProductPathSwitch)
{
    for (const wchar_t* variant :
         {L"-UseAlternativeProductPath", L"/UseAlternativeProductPath", L"--x=prefix-UseAlternativeProductPath"}) {
        ChildResult run = RunHookHost(variant);
        EXPECT_EQ(run.Value("load: "), "ok") << run.output;
        EXPECT_EQ(run.Value("env Vantorix8_Product_PathAlternative="), Lower(LayoutDirectory())) << Narrow(variant);
        EXPECT_EQ(run.Value("env Vantorix8_Product_Path="), "<unset>") << Narrow(variant);
    }
}

} // namespace

namespace {

TEST(HookLoad, EmbeddedTypeLibraryOpensWithLoadTypeLib)
{
    ITypeLib* library = nullptr;
    ASSERT_EQ(LoadTypeLib(LayoutLibrary().c_str(), &library), S_OK);
    vx::com::BStr name;
    ASSERT_EQ(library->GetDocumentation(-1, name.Out(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(name.View(), L"vxCrHook");
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->syskind, SYS_WIN64);
    library->ReleaseTLibAttr(attributes);
    // The module object's interfaces are described there.
    ITypeInfo* info = nullptr;
    const IID extenderModule = {0x20143FE7, 0x88C4, 0x4CCB, {0xA9, 0x95, 0x97, 0xE5, 0xA3, 0x47, 0x5D, 0x87}};
    EXPECT_EQ(library->GetTypeInfoOfGuid(extenderModule, &info), S_OK);
    if (info)
        info->Release();
    library->Release();
}

} // namespace
