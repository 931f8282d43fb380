#pragma once
// An editable file of the disc: its model, its path, whether it differs from what was
// last read or written, and the way it is saved. Edits go through editDocuments(),
// which records the models before and after on an undo stack, so every edit can be
// undone and redone and the modified flag follows the model itself (undoing back to
// the saved state clears it).
#include <QObject>
#include <QString>
#include <QUndoCommand>
#include <QUndoStack>
#include <functional>
#include <memory>
#include <tuple>
#include <vector>

namespace morvex::app {

class Document : public QObject {
  Q_OBJECT
public:
  explicit Document(QString name, QObject* parent = nullptr) : QObject(parent), name_(std::move(name)) {}

  // The file name shown in questions ("index.bdmv").
  const QString& name() const { return name_; }
  void setName(QString name) { name_ = std::move(name); }
  QString path;
  bool modified() const { return modified_; }
  // Writes the document; the owner installs it. True when the file was written.
  std::function<bool()> saver;
  bool save() { return saver && saver(); }

  // Compares the model with the saved state again (after every change).
  void refreshModified();
  // The model was replaced as a whole (undo, redo, a new read): views show it anew.
  void replaced();

signals:
  void modifiedChanged(bool modified);
  void modelReplaced();

protected:
  virtual bool differsFromSaved() const = 0;

private:
  QString name_;
  bool modified_ = false;
};

template <class T>
class ModelDocument : public Document {
public:
  using Document::Document;
  T model;

  // A model fresh from the file (or nothing): not modified.
  void reset(T m) {
    model = std::move(m);
    saved_ = model;
    replaced();
  }
  // The model has just been written.
  void markSaved() {
    saved_ = model;
    refreshModified();
  }

protected:
  bool differsFromSaved() const override { return !(model == saved_); }

private:
  T saved_{};
};

// One undoable step: the models it changed, before and after.
class DocumentEdit : public QUndoCommand {
public:
  struct State {
    virtual ~State() = default;
    virtual Document* document() const = 0;
    virtual void apply(bool after) = 0;
    virtual void takeAfter(State& later) = 0;
  };
  DocumentEdit(const QString& text, int mergeId) : QUndoCommand(text), mergeId_(mergeId) {}
  void add(std::unique_ptr<State> s) { states_.push_back(std::move(s)); }
  bool empty() const { return states_.empty(); }

  void undo() override;
  void redo() override;
  int id() const override { return mergeId_; }
  bool mergeWith(const QUndoCommand* other) override;

private:
  std::vector<std::unique_ptr<State>> states_;
  int mergeId_;
  bool applied_ = true;  // the edit was made before the command was pushed
};

namespace detail {
template <class T>
struct ModelState : DocumentEdit::State {
  ModelDocument<T>* doc;
  T before, after;
  ModelState(ModelDocument<T>* d, T b, T a) : doc(d), before(std::move(b)), after(std::move(a)) {}
  Document* document() const override { return doc; }
  void apply(bool useAfter) override {
    doc->model = useAfter ? after : before;
    doc->replaced();
  }
  void takeAfter(State& later) override { after = static_cast<ModelState&>(later).after; }
};
}  // namespace detail

// Runs `mutate` on the models of `docs` and records on `stack` the models it changed.
// Nothing changed: nothing is recorded. Edits with the same non-negative `mergeId`
// that follow each other (typing in one field) become one step.
template <class F, class... T>
bool editDocuments(QUndoStack& stack, const QString& text, int mergeId, F&& mutate, ModelDocument<T>&... docs) {
  auto before = std::make_tuple(docs.model...);
  mutate();
  auto cmd = std::make_unique<DocumentEdit>(text, mergeId);
  std::apply(
      [&](auto&... b) {
        (
            [&](auto& doc, auto& old) {
              if (doc.model == old) return;
              using M = std::decay_t<decltype(doc.model)>;
              cmd->add(std::make_unique<detail::ModelState<M>>(&doc, std::move(old), doc.model));
            }(docs, b),
            ...);
      },
      before);
  if (cmd->empty()) return false;
  stack.push(cmd.release());
  (docs.refreshModified(), ...);
  return true;
}

}  // namespace morvex::app
