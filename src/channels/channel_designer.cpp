#include "channels/channel_designer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/file_system.h"
#include "platform/text.h"

namespace vyr {

namespace dt = designer_text;

namespace {

using Items = std::vector<std::unique_ptr<ChannelItem>>;

bool IsPrefix(const TreePath& outer, const TreePath& inner) {
  return outer.size() < inner.size() && std::equal(outer.begin(), outer.end(), inner.begin());
}

// Sorted, without repeats and without paths that lie inside another one
// (those go with their ancestor).
std::vector<TreePath> Outermost(std::vector<TreePath> paths) {
  std::sort(paths.begin(), paths.end());
  paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
  std::erase_if(paths, [&](const TreePath& p) {
    return p.empty() || std::any_of(paths.begin(), paths.end(), [&](const TreePath& q) { return IsPrefix(q, p); });
  });
  return paths;
}

bool IsChannelKind(DesignerKind kind) { return kind == DesignerKind::Channel || kind == DesignerKind::LockedChannel; }

DesignerResult Refused(platform::TextId why) { return DesignerResult{false, why, {}}; }

}  // namespace

bool IsFolderItem(const ChannelItem& item) {
  return item.HasChildren() || item.url.empty() || item.url[0] == '_';
}

ChannelDesignerModel::ChannelDesignerModel(const ChannelSet& channels, size_t fixedCount)
    : locked_(std::min(fixedCount, channels.Count())) {
  for (const auto& c : channels.Channels()) tree_.AddCopy(*c);
}

ChannelItem* ChannelDesignerModel::At(const TreePath& path) const {
  if (path.empty() || path.size() > 3 || path[0] >= tree_.Count()) return nullptr;
  ChannelItem* item = tree_.At(path[0]);
  for (size_t level = 1; level < path.size(); ++level) {
    if (path[level] >= item->children.size()) return nullptr;
    item = item->children[path[level]].get();
  }
  return item;
}

DesignerKind ChannelDesignerModel::KindAt(const TreePath& path) const {
  const ChannelItem* item = At(path);
  if (!item) return DesignerKind::None;
  if (path.size() == 1) return path[0] < locked_ ? DesignerKind::LockedChannel : DesignerKind::Channel;
  if (path.size() == 2 && IsFolderItem(*item)) return DesignerKind::Folder;
  return DesignerKind::Page;
}

Items* ChannelDesignerModel::SiblingsOf(const TreePath& path) {
  if (path.size() == 1) return &tree_.Channels();
  ChannelItem* parent = At(TreePath(path.begin(), path.end() - 1));
  return parent ? &parent->children : nullptr;
}

DesignerResult ChannelDesignerModel::AddChannel(const TreePath& selection, const std::string& name) {
  if (selection.size() != 1 || !At(selection)) return Refused(dt::kSelectChannelForChannel);
  if (name.empty()) return {};
  // Right after the selected channel, but below the locked block.
  const size_t at = std::max(selection[0] + 1, locked_);
  auto channel = std::make_unique<ChannelItem>();
  channel->name = name;
  channel->url = kChannelUrl;
  channel->kind = kChannelKindChannel;
  tree_.Channels().insert(tree_.Channels().begin() + static_cast<std::ptrdiff_t>(at), std::move(channel));
  modified_ = true;
  return {true, {}, {at}};
}

DesignerResult ChannelDesignerModel::AddFolder(const TreePath& selection, const std::string& name) {
  const DesignerKind kind = KindAt(selection);
  if (kind == DesignerKind::LockedChannel) return Refused(dt::kLocked);
  if (kind != DesignerKind::Channel) return Refused(dt::kSelectChannelForFolder);
  if (name.empty()) return {};
  ChannelItem* channel = At(selection);
  // An empty address: a folder from the start, also once written and read
  // back before it has pages.
  ChannelSet::AddChild(channel, name, "", kChannelKindFolder);
  modified_ = true;
  return {true, {}, {selection[0], channel->children.size() - 1}};
}

DesignerResult ChannelDesignerModel::AddPage(const TreePath& selection, const std::string& name,
                                             const std::string& url) {
  const DesignerKind kind = KindAt(selection);
  if (InLockedChannel(selection) && kind != DesignerKind::None) return Refused(dt::kLocked);
  if (kind != DesignerKind::Channel && kind != DesignerKind::Folder) return Refused(dt::kSelectPlaceForPage);
  // A page without an address would be taken for a folder.
  if (name.empty() || url.empty()) return {};
  ChannelItem* parent = At(selection);
  ChannelSet::AddChild(parent, name, url, kChannelKindPage);
  modified_ = true;
  TreePath path = selection;
  path.push_back(parent->children.size() - 1);
  return {true, {}, path};
}

DesignerResult ChannelDesignerModel::Modify(const TreePath& path, const std::string& name,
                                            const std::string& url) {
  const DesignerKind kind = KindAt(path);
  if (kind == DesignerKind::None) return Refused(dt::kSelectToModify);
  if (InLockedChannel(path)) return Refused(dt::kLocked);
  if (name.empty() || (kind == DesignerKind::Page && url.empty())) return {};
  ChannelItem* item = At(path);
  item->name = name;
  if (kind == DesignerKind::Page) item->url = url;
  modified_ = true;
  return {true, {}, path};
}

DesignerResult ChannelDesignerModel::Delete(std::vector<TreePath> paths) {
  paths = Outermost(std::move(paths));
  std::erase_if(paths, [&](const TreePath& p) { return !At(p); });
  if (paths.empty()) return Refused(dt::kSelectToDelete);
  for (const TreePath& p : paths)
    if (InLockedChannel(p)) return Refused(dt::kLocked);
  // From the last to the first, so the earlier paths stay valid.
  for (auto p = paths.rbegin(); p != paths.rend(); ++p) {
    Items* siblings = SiblingsOf(*p);
    siblings->erase(siblings->begin() + static_cast<std::ptrdiff_t>(p->back()));
  }
  modified_ = true;
  return {true, {}, {}};
}

DesignerResult ChannelDesignerModel::Move(std::vector<TreePath> dragged, const TreePath& target) {
  dragged = Outermost(std::move(dragged));
  std::erase_if(dragged, [&](const TreePath& p) { return !At(p); });
  const DesignerKind targetKind = KindAt(target);
  if (dragged.empty() || targetKind == DesignerKind::None) return {};
  DesignerKind kind = KindAt(dragged.front());
  for (const TreePath& p : dragged) {
    DesignerKind k = KindAt(p);
    if (IsChannelKind(k) && IsChannelKind(kind)) continue;
    if (k != kind) return Refused(dt::kMixedDrag);
  }
  for (const TreePath& p : dragged) {
    // Onto itself or into its own subtree: nothing to do.
    if (p == target || IsPrefix(p, target)) return {};
    if (InLockedChannel(p)) return Refused(dt::kLocked);
  }

  // Where the items go: into `container` before or after `anchor`, or at
  // its end (no anchor).
  Items* container = nullptr;
  const ChannelItem* anchor = nullptr;
  size_t lockedFloor = 0;
  if (IsChannelKind(kind)) {
    if (target.size() != 1) return Refused(dt::kChannelDropPlace);
    container = &tree_.Channels();
    // Dropped on a locked channel: the first place below the locked block.
    anchor = targetKind == DesignerKind::Channel ? At(target) : nullptr;
    lockedFloor = locked_;
  } else {
    if (kind == DesignerKind::Folder && targetKind == DesignerKind::Page) return Refused(dt::kFolderOnPage);
    if (InLockedChannel(target)) return Refused(dt::kLocked);
    const bool into = targetKind == DesignerKind::Channel || (kind == DesignerKind::Page && targetKind == DesignerKind::Folder);
    container = into ? &At(target)->children : SiblingsOf(target);
    anchor = into ? nullptr : At(target);
  }
  // Moving down within the same list puts the items after the target.
  const bool after = anchor && SiblingsOf(dragged.front()) == container && dragged.front().back() < target.back();

  std::vector<std::unique_ptr<ChannelItem>> moving;
  for (auto p = dragged.rbegin(); p != dragged.rend(); ++p) {
    Items* siblings = SiblingsOf(*p);
    auto at = siblings->begin() + static_cast<std::ptrdiff_t>(p->back());
    moving.push_back(std::move(*at));
    siblings->erase(at);
  }
  std::reverse(moving.begin(), moving.end());
  const ChannelItem* first = moving.front().get();

  size_t at = container->size();
  if (anchor) {
    for (size_t i = 0; i < container->size(); ++i)
      if ((*container)[i].get() == anchor) at = i + (after ? 1 : 0);
  } else if (IsChannelKind(kind)) {
    at = lockedFloor;
  }
  at = std::max(at, lockedFloor);
  for (auto& item : moving) container->insert(container->begin() + static_cast<std::ptrdiff_t>(at++), std::move(item));
  modified_ = true;

  // Where the first moved item stands now.
  DesignerResult result{true, {}, {}};
  for (size_t c = 0; c < tree_.Count(); ++c) {
    const ChannelItem* channel = tree_.At(c);
    if (channel == first) result.path = {c};
    for (size_t i = 0; i < channel->children.size(); ++i) {
      if (channel->children[i].get() == first) result.path = {c, i};
      for (size_t j = 0; j < channel->children[i]->children.size(); ++j)
        if (channel->children[i]->children[j].get() == first) result.path = {c, i, j};
    }
  }
  return result;
}

bool ChannelDesignerModel::Import(ChannelSet& imported, const DuplicateChooser& choose) {
  if (!MergeChannelSet(tree_, locked_, imported, choose)) return false;
  modified_ = true;
  return true;
}

bool ChannelDesignerModel::Save(ChannelLibrary& library, std::string* why) {
  // Written first: the application's channels change only once the file
  // holds them.
  const std::string path = library.DataFile(kUserChannelsFile);
  if (path.empty() || !platform::WriteFileAtomically(path, FormatChannelText(tree_, locked_))) {
    const int error = errno;
    if (why) {
      *why = platform::FillPlaceholders(dt::kSaveFailed.Text(), {path, std::strerror(error)});
    }
    return false;
  }
  library.ReplaceUserChannels(tree_, locked_);
  modified_ = false;
  return true;
}

DroppedPage PageFromDroppedLink(const std::string& address, const std::string& droppedTitle) {
  DroppedPage page{address, droppedTitle};
  if (address.rfind("www.", 0) == 0 || address.rfind("WWW.", 0) == 0) page.url = "http://" + address;
  // A browser page's link carries its address again as its title: no title.
  if (page.title == address) page.title.clear();
  if (!page.title.empty()) return page;
  // The link's file name: the last part of its path (no query, no
  // fragment); a link to a site's root is named by its host.
  std::string rest = address.substr(0, address.find_first_of("?#"));
  if (size_t scheme = rest.find("://"); scheme != std::string::npos) rest.erase(0, scheme + 3);
  while (!rest.empty() && rest.back() == '/') rest.pop_back();
  const size_t slash = rest.rfind('/');
  if (slash == std::string::npos) {
    page.title = rest.empty() ? address : rest;
    return page;
  }
  std::string name = rest.substr(slash + 1);
  if (size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.erase(dot);
  page.title = name.empty() ? address : name;
  return page;
}

}  // namespace vyr
