// The manifest Windows reads from the program file before it starts it.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

TEST(ProgramManifest, PyxtunectlAsksForAdministratorRights) {
    const std::wstring program = std::filesystem::absolute(PYX_PYXTUNECTL).wstring();
    HMODULE file = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(file, nullptr) << GetLastError();
    // Resource 1 of type RT_MANIFEST is the one the loader applies to a program.
    HRSRC resource = FindResourceW(file, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(resource, nullptr);
    const char* bytes = static_cast<const char*>(LockResource(LoadResource(file, resource)));
    const std::string manifest(bytes, SizeofResource(file, resource));
    FreeLibrary(file);
    EXPECT_NE(manifest.find("<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>"),
              std::string::npos)
        << manifest;
}
