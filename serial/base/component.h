#pragma once
// The component base classes of the serial layer: an owner that frees what it
// owns, a name, and the loading state during which failures are not raised.
#include <string>
#include <vector>

class TComponent {
 public:
  explicit TComponent(TComponent* owner);
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return owner_; }
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(index); }

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  // True while the component's settings are being read in; Loaded ends it.
  bool IsLoading() const { return loading_; }
  void Loading() { loading_ = true; }
  virtual void Loaded() { loading_ = false; }

 private:
  void Insert(TComponent* child) { components_.push_back(child); }
  void Remove(TComponent* child);

  TComponent* owner_;
  std::vector<TComponent*> components_;
  std::string name_;
  bool loading_ = false;
};

// The serial layer's components all report the same library version, which
// can be written (from stored settings) without effect.
class TDevaBaseComponent : public TComponent {
 public:
  using TComponent::TComponent;
  std::string Version() const { return "v4.07"; }
  void SetVersion(const std::string&) {}
};
