#include <gtest/gtest.h>

#include <new>

#include "ASTundo.h"
#include "CASTcore.h"
#include "CASTcoreTestAccess.h"
#include "SlotOf.h"

namespace {

SecInfo usedSection(std::uint64_t start, std::uint64_t end) {
  SecInfo s;
  s.used = 1;
  s.wavNo = 0;
  s.startAdrs = start;
  s.endAdrs = end;
  s.barNum = 1;
  return s;
}

}  // namespace

TEST(Undo, SingleFieldSettersAlwaysPushWholeRecordOnlyOnChange) {
  CASTcore core;
  EXPECT_EQ(core.setVolume(90), 0u);
  EXPECT_EQ(core.setVolume(90), 0u);
  EXPECT_EQ(core.undoCount(), 2) << "setting the same volume twice is two steps";

  ComnInfo same = core.getCommonInfo();
  EXPECT_EQ(core.setCommonInfo(same), 0u);
  EXPECT_EQ(core.undoCount(), 2) << "an unchanged common record is no step";

  same.pan = 10;
  EXPECT_EQ(core.setCommonInfo(same), 0u);
  EXPECT_EQ(core.undoCount(), 3);
  EXPECT_EQ(core.undoText(), "set common");
  core.undo();
  EXPECT_EQ(core.getCommonInfo().pan, 64);
  EXPECT_EQ(core.getCommonInfo().volume, 90);
}

TEST(Undo, OutOfRangeValuesNeverEnterTheModel) {
  CASTcore core;
  EXPECT_TRUE(Result::failed(core.updateTempo(0)));
  EXPECT_TRUE(Result::failed(core.updateTempo(501)));
  EXPECT_TRUE(Result::failed(core.setVolume(128)));
  EXPECT_TRUE(Result::failed(core.setPan(255)));
  EXPECT_TRUE(Result::failed(core.setRevSend(128)));
  EXPECT_TRUE(Result::failed(core.setNormDepth(101)));
  EXPECT_TRUE(Result::failed(core.setNormSw(101)));
  ComnInfo bad = core.getCommonInfo();
  bad.timeSigDen = 3;
  EXPECT_TRUE(Result::failed(core.setCommonInfo(bad)));
  EXPECT_EQ(core.getCommonInfo(), ComnInfo());
  EXPECT_EQ(core.undoCount(), 0);
  EXPECT_FALSE(core.isModified());

  EXPECT_EQ(core.updateTempo(5), 0u);
  EXPECT_EQ(core.updateTempo(500), 0u);
  EXPECT_EQ(core.getCommonInfo().tempo, 500u);
}

TEST(Undo, ModifiedFollowsPushUndoRedoAndClear) {
  CASTcore core;
  EXPECT_FALSE(core.isModified());
  core.setPan(1);
  EXPECT_TRUE(core.isModified());
  core.undo();
  EXPECT_FALSE(core.isModified()) << "back at the start of the history";
  core.redo();
  EXPECT_TRUE(core.isModified());
  core.setPan(2);
  core.undo();
  EXPECT_TRUE(core.isModified()) << "one step is still applied";
  core.clearUndo();
  EXPECT_FALSE(core.isModified());
  EXPECT_FALSE(core.canUndo());
  EXPECT_EQ(core.getCommonInfo().pan, 1) << "clearing the history keeps the model";
}

TEST(Undo, SectionStepRestoresTheSlotAndDropsItsRenderedAudio) {
  CASTcore core;
  const SecInfo before = slotOf(core, 5);
  ASSERT_EQ(core.updateSecInfo(5, usedSection(100, 200)), 0u);
  EXPECT_EQ(core.undoText(), "set section");
  EXPECT_EQ(slotOf(core, 5).endAdrs, 200u);

  CASTcoreTestAccess::setRendered(core, 5, 1);
  core.undo();
  EXPECT_EQ(slotOf(core, 5), before);
  EXPECT_EQ(core.isSecRendered(5), 0);

  CASTcoreTestAccess::setRendered(core, 5, 1);
  core.redo();
  EXPECT_EQ(slotOf(core, 5).startAdrs, 100u);
  EXPECT_EQ(core.isSecRendered(5), 0);
}

TEST(Undo, UnchangedSectionAddsNoStepAndRenderedLengthIsStoredDirectly) {
  CASTcore core;
  core.updateSecInfo(2, usedSection(0, 44100));
  const int steps = core.undoCount();
  CASTcoreTestAccess::setRendered(core, 2, 1);

  EXPECT_EQ(core.updateSecInfo(2, usedSection(0, 44100)), 0u);
  EXPECT_EQ(core.undoCount(), steps);

  SecInfo rendered = usedSection(0, 44100);
  rendered.holdValue = 88200;
  EXPECT_EQ(core.updateSecInfo(2, rendered), 0u);
  EXPECT_EQ(core.undoCount(), steps) << "recording the rendered length is no undo step";
  EXPECT_EQ(slotOf(core, 2).holdValue, 88200u);
  EXPECT_EQ(core.isSecRendered(2), 1) << "the rendered audio is still valid";
}

TEST(Undo, NamedEditsWithOneTextCollapseIntoOneStep) {
  CASTcore core;
  core.setVolume(70);  // an earlier, unrelated step
  const SecInfo before = slotOf(core, 3);
  ASSERT_EQ(core.updateSecInfoNamed(3, usedSection(10, 20), "drag end"), 0u);
  ASSERT_EQ(core.updateSecInfoNamed(3, usedSection(10, 30), "drag end"), 0u);
  ASSERT_EQ(core.updateSecInfoNamed(3, usedSection(10, 40), "drag end"), 0u);
  EXPECT_EQ(core.undoCount(), 2);
  EXPECT_EQ(core.undoText(), "drag end");
  EXPECT_EQ(slotOf(core, 3).endAdrs, 40u);
  core.undo();
  EXPECT_EQ(slotOf(core, 3), before);
  EXPECT_EQ(core.getCommonInfo().volume, 70);
}

TEST(Undo, ANamedEditOfAnotherSlotOrAfterUndoIsAStepOfItsOwn) {
  CASTcore core;
  ASSERT_EQ(core.updateSecInfoNamed(3, usedSection(10, 20), "set end"), 0u);
  ASSERT_EQ(core.updateSecInfoNamed(4, usedSection(30, 40), "set end"), 0u);
  EXPECT_EQ(slotOf(core, 3).endAdrs, 20u) << "the edit of slot 3 is kept";
  EXPECT_EQ(core.undoCount(), 2);
  core.undo();
  EXPECT_EQ(slotOf(core, 3).endAdrs, 20u);
  EXPECT_EQ(slotOf(core, 4), SecInfo());

  // After an undo the next edit does not fold into the step below.
  ASSERT_EQ(core.updateSecInfoNamed(3, usedSection(10, 50), "set end"), 0u);
  EXPECT_EQ(core.undoCount(), 2);
  core.undo();
  EXPECT_EQ(slotOf(core, 3).endAdrs, 20u);
}

TEST(Undo, ANamedEditAfterUndoThenRedoIsAStepOfItsOwn) {
  CASTcore core;
  ASSERT_EQ(core.updateSecInfoNamed(3, usedSection(10, 20), "set end"), 0u);
  core.undo();
  core.redo();
  ASSERT_EQ(slotOf(core, 3).endAdrs, 20u);
  // The redone step is back on top, but the history moved in between.
  ASSERT_EQ(core.updateSecInfoNamed(3, usedSection(10, 50), "set end"), 0u);
  EXPECT_EQ(core.undoCount(), 2);
  core.undo();
  EXPECT_EQ(slotOf(core, 3).endAdrs, 20u) << "the undo takes back only the edit after the redo";
  core.undo();
  EXPECT_EQ(slotOf(core, 3), SecInfo());

  // A redo with nothing to redo moves nothing: a drag still folds.
  ASSERT_EQ(core.updateSecInfoNamed(3, usedSection(10, 60), "set end"), 0u);
  core.redo();
  ASSERT_EQ(core.updateSecInfoNamed(3, usedSection(10, 70), "set end"), 0u);
  EXPECT_EQ(core.undoCount(), 1);
  core.undo();
  EXPECT_EQ(slotOf(core, 3), SecInfo());
}

TEST(Undo, SetAllIsOneStepEvenWithoutChange) {
  CASTcore core;
  AllInfo copy;
  copy.assign(core.getAllInfo());
  EXPECT_EQ(core.setAllInfo(copy), 0u);
  EXPECT_EQ(core.setAllInfo(copy), 0u);
  EXPECT_EQ(core.undoCount(), 2);
  EXPECT_EQ(core.undoText(), "set all");
}

TEST(Undo, SetAllUndoRestoresTheWholeModelAndDropsRenderedAudio) {
  CASTcore core;
  core.updateSecInfo(0, usedSection(1, 2));
  AllInfo next;
  next.addWavInfo(new WavInfo);
  next.setTempo(77);
  for (int slot = 0; slot < 15; ++slot) CASTcoreTestAccess::setRendered(core, slot, 1);
  ASSERT_EQ(core.setAllInfo(next), 0u);
  for (int slot = 0; slot < 15; ++slot) EXPECT_EQ(core.isSecRendered(slot), 0);
  EXPECT_EQ(core.waveCount(), 1u);
  EXPECT_EQ(slotOf(core, 0), SecInfo());

  for (int slot = 0; slot < 15; ++slot) CASTcoreTestAccess::setRendered(core, slot, 1);
  core.undo();
  EXPECT_EQ(core.waveCount(), 0u);
  EXPECT_EQ(slotOf(core, 0).endAdrs, 2u);
  EXPECT_EQ(core.getCommonInfo().tempo, 120u);
  for (int slot = 0; slot < 15; ++slot) EXPECT_EQ(core.isSecRendered(slot), 0);
}

TEST(Undo, TempoChangeDropsEveryRenderingEvenWhenUnchanged) {
  CASTcore core;
  for (int slot = 0; slot < 15; ++slot) {
    CASTcoreTestAccess::setRendered(core, slot, 1);
    CASTcoreTestAccess::ratios(core, slot) = {1.0, 1.1};
  }
  ASSERT_EQ(core.updateTempo(120), 0u);
  for (int slot = 0; slot < 15; ++slot) {
    EXPECT_EQ(core.isSecRendered(slot), 0);
    EXPECT_TRUE(CASTcoreTestAccess::ratios(core, slot).empty());
  }
  EXPECT_EQ(core.undoCount(), 1);
}

TEST(Undo, ACoreWithoutUndoStackRefusesEveryEdit) {
  CASTcore core;
  CASTcoreTestAccess::dropUndoStack(core);
  EXPECT_TRUE(core.hasException());
  AllInfo other;
  other.setTempo(99);
  EXPECT_EQ(core.setAllInfo(other), 0x80000001u);
  EXPECT_EQ(core.updateSecInfo(0, usedSection(0, 1)), 0x80000001u);
  EXPECT_EQ(core.setVolume(1), 0x80000001u);
  EXPECT_EQ(core.updateTempo(100), 0x80000001u);
  EXPECT_EQ(core.getCommonInfo().tempo, 120u);
  EXPECT_FALSE(core.isModified());
  EXPECT_FALSE(core.canUndo());
  core.undo();  // harmless
}

TEST(Undo, BadSlotIsReportedWithTheModelCode) {
  CASTcore core;
  EXPECT_EQ(core.updateSecInfo(15, SecInfo()), Result::nest(2, 0x80000001u));
}

namespace {

// A command whose first application runs out of memory.
class FailingCommand : public QUndoCommand {
 public:
  explicit FailingCommand(int& alive) : alive(alive) { ++alive; }
  ~FailingCommand() override { --alive; }
  void redo() override { throw std::bad_alloc(); }
  void undo() override {}

 private:
  int& alive;
};

}  // namespace

TEST(Undo, ACommandThatFailsToApplyLeavesNoOpenMacroAndNoStep) {
  ASTundo stack;
  stack.pushMacro("set common", new QUndoCommand("first"));
  ASSERT_EQ(stack.count(), 1);
  stack.clear();  // unmodified again, history gone
  stack.pushMacro("set common", new QUndoCommand("second"));

  int alive = 0;
  EXPECT_THROW(stack.pushMacro("set all", new FailingCommand(alive)), std::bad_alloc);
  EXPECT_EQ(alive, 0) << "the command the stack never took is deleted";
  EXPECT_EQ(stack.count(), 1) << "no step, not even an empty one";
  EXPECT_EQ(stack.index(), 1);
  EXPECT_FALSE(stack.canRedo());
  EXPECT_EQ(stack.undoText(), "set common");

  // Later edits are steps of their own, not children of a macro left open.
  stack.pushMacro("set section", new QUndoCommand("third"));
  EXPECT_EQ(stack.count(), 2);
  EXPECT_EQ(stack.undoText(), "set section");
  stack.undo();
  stack.undo();
  EXPECT_FALSE(stack.isModified());
}
