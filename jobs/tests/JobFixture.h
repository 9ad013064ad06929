// What the job tests share: the stand-in archivers loaded into the chain, the journal they
// write, a scripted person, settings reset per test and a private work folder.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "archivers/tests/StandinFixture.h"
#include "base/FileList.h"
#include "tests/support/ScriptedPerson.h"
#include "tests/support/TestFiles.h"

namespace job_tests {

using archiver_tests::Fill;
using testing_support::PersonCall;

class JobTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // (Re)builds the chain from the named stand-ins.
    void LoadArchivers(const std::vector<const char*>& dlls = archiver_tests::kAllStandins);

    // Writes work/name with bytes and returns its path.
    std::string Write(const std::string& name, const std::string& bytes);
    // Packs work/<name>.txt, holding name, into work with the archiver offering label, and
    // removes the text file; returns the archive's path.
    std::string Pack(const char* label, const std::string& name);
    std::string MakeZip(const std::string& name) { return Pack("ZIP_6(zip)", name); }

    // The command texts the stand-ins received, as "<dll>|<text>", in order.
    std::vector<std::string> Commands() const;
    void ClearJournal() { journal_.clear(); }

    // The calls of one kind the scripted person received.
    std::vector<PersonCall> Messages() const { return person.callsOf(PersonCall::Message); }
    std::vector<PersonCall> Explorers() const { return person.callsOf(PersonCall::Explorer); }

    testing_support::TempDir work;
    testing_support::ScriptedPerson person;

private:
    std::unique_ptr<archiver_tests::ChainScope> chain_;
    archiver_tests::Journal journal_;
};

// A message box as one comparable text: its owner, text, caption and flags.
std::string Box(const PersonCall& call);
std::string Box(const std::string& text, const char* caption, UINT flags, HWND owner = nullptr);
// Expected Explorer command line for folder.
std::string ExplorerLine(const std::string& folder);
// The user's desktop folder followed by '\\'.
std::string Desktop();
// A drive letter with nothing behind it, e.g. "Q:".
std::string MissingDrive();
std::string Read(const std::string& path);

}  // namespace job_tests
