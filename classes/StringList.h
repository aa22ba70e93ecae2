// A list of text lines with name=value access, as component properties hold them.
#pragma once

#include <string>
#include <vector>

class TStringList {
public:
  TStringList() = default;
  TStringList(std::initializer_list<std::string> ALines) : FLines(ALines) {}

  int Count() const { return static_cast<int>(FLines.size()); }
  const std::string &operator[](int AIndex) const { return FLines.at(AIndex); }
  std::string &operator[](int AIndex) { return FLines.at(AIndex); }
  void Add(std::string ALine) { FLines.push_back(std::move(ALine)); }
  void Delete(int AIndex) { FLines.erase(FLines.begin() + AIndex); }
  void Clear() { FLines.clear(); }
  const std::vector<std::string> &Lines() const { return FLines; }
  void Assign(const TStringList &AOther) { FLines = AOther.FLines; }
  bool operator==(const TStringList &AOther) const { return FLines == AOther.FLines; }

  // Index of the line "Name=..." (name compared without regard to ASCII case), or -1.
  int IndexOfName(const std::string &AName) const;
  // The text after "=" of the line named AName; empty when there is none.
  std::string Value(const std::string &AName) const;
  // A non-empty value replaces the named line or appends "Name=Value"; an empty one deletes it.
  void SetValue(const std::string &AName, const std::string &AValue);

private:
  std::vector<std::string> FLines;
};
