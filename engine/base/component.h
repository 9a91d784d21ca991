// The component base of the engine: an object with an instance name, owned
// by a window or created in code. The name (for example "ZipArchiver")
// prefixes the engine's error messages.
#ifndef TESSALY_ENGINE_BASE_COMPONENT_H_
#define TESSALY_ENGINE_BASE_COMPONENT_H_

#include <string>

namespace tessaly::engine {

class Component {
 public:
  Component() = default;
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;
  virtual ~Component() = default;

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

 private:
  std::string name_;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_BASE_COMPONENT_H_
