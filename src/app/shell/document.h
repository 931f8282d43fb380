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

#include "core/read_result.h"

namespace morvex::app {

class Document : public QObject {
  Q_OBJECT
public:
  explicit Document(QString name, QObject* parent = nullptr) : QObject(parent), name_(std::move(name)) {}

  // The file name shown in questions ("index.bdmv").
  const QString& name() const { return name_; }
  void setName(QString name) { name_ = std::move(name); }
  // What questions call the document when its name alone would mislead (a menu read
  // from a stream file is saved as a menu file, not into the stream); the name
  // otherwise.
  QString caption() const { return caption_.isEmpty() ? name_ : caption_; }
  void setCaption(QString caption) { caption_ = std::move(caption); }
  QString path;
  bool modified() const { return modified_; }
  // Writes the file; the owner installs it. True when the file was written. Nobody
  // calls it directly: save() does, after the read check.
  std::function<bool()> saver;
  // The one way a document reaches its file, whoever asks (the Save button, the
  // unsaved-changes question, Apply to clpi, an import): a file that was refused is
  // never written, and one read only in part only after allowSaving(). Writing such a
  // model would replace the file by what the reader understood of it. False, with
  // the reason in blockedText(), when the check stops the save.
  bool save();

  // What the reader said of the file this document holds. A new document (a file
  // created in memory, nothing read) is complete.
  const core::ReadResult& readResult() const { return read_; }
  void setReadResult(core::ReadResult r);
  bool refused() const { return read_.refused(); }
  bool partial() const { return read_.partial(); }
  // The user accepts that a save writes only what was read of a partial file.
  void allowSaving();
  bool savingAllowed() const { return savingAllowed_; }
  // Save may write: the file was read whole, or in part and the user allowed it.
  bool writable() const { return read_.complete() || (read_.partial() && savingAllowed_); }
  // Why save() refuses (empty when it may write).
  QString blockedText() const;

  // Compares the model with the saved state again (after every change).
  void refreshModified();
  // The model was replaced as a whole (undo, redo, a new read): views show it anew.
  void replaced();
  // "Discard": the model goes back to what was last read or written, and its undo
  // steps are dropped (discarded() tells the owner of the stack).
  virtual void revert() = 0;

signals:
  void modifiedChanged(bool modified);
  void modelReplaced();
  // The read result or the permission to save changed (a banner follows it).
  void readStateChanged();
  // save() was asked for but the read check stopped it.
  void saveBlocked(const QString& why);
  // The unsaved changes were discarded (revert()).
  void discarded();
  // save() passed its check and the writer is about to run; then it wrote the file.
  void aboutToSave();
  void saved();

protected:
  virtual bool differsFromSaved() const = 0;

private:
  QString name_;
  QString caption_;
  bool modified_ = false;
  core::ReadResult read_;
  bool savingAllowed_ = false;
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
  void revert() override {
    if (!modified()) return;
    model = saved_;
    replaced();
    Q_EMIT discarded();
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
