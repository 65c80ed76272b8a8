#include "platform/MessageOutput.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/FakeMessageSink.h"
#include "platform/StderrMessageSink.h"

TEST(MessageOutput, InstalledSinkReceivesMessagesUntilReplaced) {
  auto fake = std::make_shared<FakeMessageSink>();
  MessageOutput::Replace(fake);
  MessageOutput::Show("Add font failed!", "PYXTUNE", MessageIcon::Error);
  ASSERT_EQ(fake->messages.size(), 1u);
  EXPECT_EQ(fake->messages[0].text, "Add font failed!");
  EXPECT_EQ(fake->messages[0].caption, "PYXTUNE");
  EXPECT_EQ(fake->messages[0].icon, MessageIcon::Error);

  MessageOutput::Replace(nullptr);
  EXPECT_NE(MessageOutput::Sink(), fake) << "null puts the platform's own sink back";
  EXPECT_NE(MessageOutput::Sink(), nullptr);
  EXPECT_EQ(fake->messages.size(), 1u);
}

TEST(MessageOutput, StreamSinkWritesOneLineWithCaption) {
  std::FILE* stream = std::tmpfile();
  ASSERT_NE(stream, nullptr);
  StderrMessageSink sink(stream);
  sink.ShowMessage("PYXTUNE has been started by other user.", "PYXTUNE", MessageIcon::Error);
  sink.ShowMessage("stop success.", "Pyxtune", MessageIcon::None);
  std::rewind(stream);
  char text[256] = {};
  const std::size_t got = std::fread(text, 1, sizeof text - 1, stream);
  std::fclose(stream);
  EXPECT_EQ(std::string(text, got),
            "PYXTUNE (error): PYXTUNE has been started by other user.\nPyxtune: stop success.\n");
}
