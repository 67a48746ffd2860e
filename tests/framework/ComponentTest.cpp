// Ownership, names, free notifications, closures and action execution.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Action.h"
#include "framework/Component.h"

namespace {

// Records its own destruction and the notifications it receives into a shared log.
class TProbe : public TComponent {
 public:
  TProbe(TComponent* AOwner, std::string Tag, std::vector<std::string>& Log)
      : TComponent(AOwner), FTag(std::move(Tag)), FLog(Log) {}
  ~TProbe() override { FLog.push_back("~" + FTag); }

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    if (Operation == TOperation::Remove && AComponent != nullptr) {
      FLog.push_back(FTag + " told of a removal");
    }
  }

 private:
  std::string FTag;
  std::vector<std::string>& FLog;
};

TEST(Component, OwnerDestroysOwnedComponentsLastCreatedFirst) {
  std::vector<std::string> Log;
  auto* Owner = new TProbe(nullptr, "owner", Log);
  new TProbe(Owner, "a", Log);
  auto* B = new TProbe(Owner, "b", Log);
  new TProbe(B, "b.child", Log);
  new TProbe(Owner, "c", Log);
  delete Owner;
  EXPECT_EQ(Log, (std::vector<std::string>{"~owner", "~c", "~b", "~b.child", "~a"}));
}

TEST(Component, DeletingAnOwnedComponentRemovesItFromItsOwner) {
  std::vector<std::string> Log;
  TProbe Owner(nullptr, "owner", Log);
  auto* A = new TProbe(&Owner, "a", Log);
  auto* B = new TProbe(&Owner, "b", Log);
  delete A;
  ASSERT_EQ(Owner.GetComponentCount(), 1);
  EXPECT_EQ(Owner.GetComponent(0), B);
  EXPECT_EQ(B->GetOwner(), &Owner);
}

TEST(Component, NamesAreIdentifiersUniqueAmongTheOwnersComponents) {
  TComponent Owner(nullptr);
  auto* A = new TComponent(&Owner);
  auto* B = new TComponent(&Owner);
  A->SetName("Source1");
  EXPECT_THROW(B->SetName("SOURCE1"), EComponentError);
  EXPECT_THROW(B->SetName("1Source"), EComponentError);
  EXPECT_THROW(B->SetName("Source 2"), EComponentError);
  EXPECT_EQ(B->GetName(), "");
  A->SetName("source1");  // renaming itself in another case is no clash
  EXPECT_EQ(Owner.FindComponent("SOURCE1"), A);
  EXPECT_EQ(Owner.FindComponent(""), nullptr);
  B->SetName("_Other2");
  EXPECT_EQ(Owner.FindComponent("_other2"), B);
}

TEST(Component, FreeNotificationTellsTheSurvivorInEitherOrder) {
  std::vector<std::string> Log;
  TProbe Watcher(nullptr, "watcher", Log);
  auto* Watched = new TComponent(nullptr);
  Watcher.FreeNotification(Watched);
  delete Watched;
  EXPECT_EQ(Log, (std::vector<std::string>{"watcher told of a removal"}));

  // The watcher going first must leave nothing behind in the watched component.
  Log.clear();
  TComponent Other(nullptr);
  auto* Early = new TProbe(nullptr, "early", Log);
  Early->FreeNotification(&Other);
  delete Early;
  EXPECT_EQ(Log, (std::vector<std::string>{"~early"}));
}

class TTarget : public TObject {
 public:
  void Handle(TObject* Sender) { Senders.push_back(Sender); }
  std::vector<TObject*> Senders;
};

// Accepts only one target and records what it was executed on.
class TPickyAction : public TAction {
 public:
  TPickyAction(TComponent* AOwner, TObject* Accepted) : TAction(AOwner), FAccepted(Accepted) {}
  bool HandlesTarget(TObject* Target) override { return Target == FAccepted; }
  void ExecuteTarget(TObject* Target) override { Executed.push_back(Target); }
  std::vector<TObject*> Executed;

 private:
  TObject* FAccepted;
};

TEST(Action, ExecuteOffersTargetsInOrderWhileEnabled) {
  TTarget A;
  TTarget B;
  TPickyAction Action(nullptr, &B);
  TObject* const Targets[] = {&A, &B, &B};
  EXPECT_TRUE(Action.Execute(Targets));
  EXPECT_EQ(Action.Executed, (std::vector<TObject*>{&B}));
  EXPECT_FALSE(Action.Execute());  // only the null target is offered

  Action.SetEnabled(false);
  EXPECT_FALSE(Action.Execute(Targets));
  EXPECT_EQ(Action.Executed.size(), 1u);

  Action.SetEnabled(true);
  Action.OnExecute = TNotifyEvent::Bind<&TTarget::Handle>(&A);
  EXPECT_TRUE(Action.Execute(Targets));
  EXPECT_EQ(A.Senders, (std::vector<TObject*>{&Action}));
  EXPECT_EQ(Action.Executed.size(), 1u);
}

}  // namespace
