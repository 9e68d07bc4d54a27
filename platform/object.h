#pragma once
// CObject: the root class, for its virtual destructor only.

class CObject {
 public:
  virtual ~CObject() = default;
};
