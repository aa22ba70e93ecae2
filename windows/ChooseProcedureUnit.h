// The paste-from-database dialog: the stored PL/SQL objects the connected user owns, and the
// reading of one object's source back as a statement that creates it again.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <functional>
#include <string>
#include <string_view>

class TOracleDatabase;
class TOracleQuery;

class TChooseProcedureForm : public QDialog {
public:
  // Rows read per fetch, for the object list and for the source.
  static constexpr int BatchRows = 100;

  explicit TChooseProcedureForm(QWidget *AParent = nullptr);
  ~TChooseProcedureForm() override;

  // Components, named as the window names them.
  QLabel *Label1;
  QListWidget *ListBox;
  QPushButton *OkButton, *CancelButton;

  // Connects ADatabase (with the login when it is closed), lists the user's packages, package
  // bodies, procedures, functions and triggers through AQuery, and shows the dialog modally.
  // Cancel also when nothing is selected.
  int Choose(TOracleDatabase &ADatabase, TOracleQuery &AQuery);
  // Fills ListBox from the data dictionary through AQuery.
  void FillList(TOracleQuery &AQuery);
  // The selected object's name and type; empty when nothing is selected.
  std::string SelectedName() const;
  std::string SelectedType() const;

  // Runs on the GUI thread once the dialog is up (tests answer it from here).
  std::function<void()> OnShown;

  static std::string ItemText(const std::string &AName, const std::string &AType);
};

// The application's one paste-from-database dialog, created at start-up (or by the first use).
TChooseProcedureForm *ChooseProcedureForm();

// The stored source of the object AName of type AType, read through AQuery, as the statement
// that creates it again: "CREATE OR REPLACE ", for a trigger "TRIGGER " and its description, then
// every source line without trailing blanks and line breaks, each ended by CR LF. The name and
// type go to the server as bind values.
std::string ObjectSourceText(TOracleQuery &AQuery, const std::string &AName,
                             const std::string &AType);

// A source line without its trailing tabs, line feeds, carriage returns and blanks.
std::string_view TrimSourceLine(std::string_view ALine);
