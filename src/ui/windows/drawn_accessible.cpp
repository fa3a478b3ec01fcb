#include "ui/windows/drawn_accessible.h"

#include <gtk/gtk.h>
#include <gtk/gtk-a11y.h>

#include <map>

#include <wx/window.h>

#include "platform/string_table.h"

// The toolkit makes a widget's accessible object, on the first request,
// from the accessible type of the widget's class, and keeps it in the
// widget's private data. Every window of the toolkit has the same widget
// class, so the request is answered for the class: a window with drawn parts
// has its own object in its data, which the class hands out instead; every
// other window gets the toolkit's as before.
namespace {

GQuark OwnObjectQuark() {
  static const GQuark quark = g_quark_from_static_string("vyrelle-own-accessible");
  return quark;
}

using GetAccessible = AtkObject* (*)(GtkWidget*);

std::map<GtkWidgetClass*, GetAccessible>& ToolkitsGetAccessible() {
  static std::map<GtkWidgetClass*, GetAccessible> original;
  return original;
}

AtkObject* OwnOrToolkits(GtkWidget* widget) {
  if (auto* own = static_cast<AtkObject*>(g_object_get_qdata(G_OBJECT(widget), OwnObjectQuark()))) return own;
  // The class, or the class it derives from when it was made after.
  for (GType type = G_TYPE_FROM_INSTANCE(widget); type; type = g_type_parent(type)) {
    const auto found = ToolkitsGetAccessible().find(static_cast<GtkWidgetClass*>(g_type_class_peek(type)));
    if (found != ToolkitsGetAccessible().end()) return found->second(widget);
  }
  return nullptr;
}

void HandOutOwnObjects(GtkWidgetClass* klass) {
  if (klass->get_accessible == OwnOrToolkits) return;
  ToolkitsGetAccessible().emplace(klass, klass->get_accessible);
  klass->get_accessible = OwnOrToolkits;
}

GQuark StateQuark() {
  static const GQuark quark = g_quark_from_static_string("vyrelle-drawn-parts");
  return quark;
}

}  // namespace

struct CDrawnAccessible::State {
  AtkObject* accessible = nullptr;   // the window's
  wxWindow* window = nullptr;        // null once the window is going
  GtkWidget* widget = nullptr;
  DrawnPartsSource source;
  std::vector<AtkObject*> children;  // a reference each
  std::vector<DrawnPart> told;       // the parts as last announced
  std::string name;                  // the window's, as last asked
  bool updating = false;
};

namespace {

using State = CDrawnAccessible::State;

AtkRole RoleOf(DrawnRole role) {
  switch (role) {
    case DrawnRole::ToggleButton: return ATK_ROLE_TOGGLE_BUTTON;
    case DrawnRole::Menu: return ATK_ROLE_MENU;
    case DrawnRole::Separator: return ATK_ROLE_SEPARATOR;
    case DrawnRole::PushButton: break;
  }
  return ATK_ROLE_PUSH_BUTTON;
}

State* StateOf(AtkObject* windowAccessible) {
  return windowAccessible ? static_cast<State*>(g_object_get_qdata(G_OBJECT(windowAccessible), StateQuark()))
                          : nullptr;
}

// The parts as the window draws them now, named without the blanks a text
// may have around it.
std::vector<DrawnPart> PartsNow(const State& state) {
  std::vector<DrawnPart> parts = state.source.parts();
  for (DrawnPart& part : parts) {
    const size_t first = part.name.find_first_not_of(" \t");
    part.name = first == std::string::npos ? std::string()
                                            : part.name.substr(first, part.name.find_last_not_of(" \t") - first + 1);
  }
  return parts;
}

// --- the parts -------------------------------------------------------------------------

struct VyrDrawnPart {
  AtkObject parent;
  int index;  // -1 once the part is gone
};
struct VyrDrawnPartClass {
  AtkObjectClass parentClass;
};

void vyr_drawn_part_component_init(AtkComponentIface* iface);
void vyr_drawn_part_action_init(AtkActionIface* iface);

G_DEFINE_TYPE_WITH_CODE(VyrDrawnPart, vyr_drawn_part, ATK_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_COMPONENT, vyr_drawn_part_component_init)
                            G_IMPLEMENT_INTERFACE(ATK_TYPE_ACTION, vyr_drawn_part_action_init))

VyrDrawnPart* AsPart(gpointer object) { return reinterpret_cast<VyrDrawnPart*>(object); }

// The part as the window draws it now; false when the part or its window is
// gone.
bool ReadPart(gpointer object, State*& state, DrawnPart& part) {
  const VyrDrawnPart* self = AsPart(object);
  state = StateOf(ATK_OBJECT(object)->accessible_parent);
  if (!state || !state->window || self->index < 0 || !state->source.parts) return false;
  const std::vector<DrawnPart> parts = PartsNow(*state);
  if (self->index >= static_cast<int>(parts.size())) return false;
  part = parts[self->index];
  return true;
}

int RealChildren(AtkObject* windowAccessible) {
  auto* parentClass = ATK_OBJECT_CLASS(g_type_class_peek_parent(G_OBJECT_GET_CLASS(windowAccessible)));
  return parentClass->get_n_children ? parentClass->get_n_children(windowAccessible) : 0;
}

gint PartIndexInParent(AtkObject* object) {
  State* state = StateOf(object->accessible_parent);
  if (!state || AsPart(object)->index < 0) return -1;
  return RealChildren(state->accessible) + AsPart(object)->index;
}

AtkStateSet* PartStates(AtkObject* object) {
  AtkStateSet* states = ATK_OBJECT_CLASS(vyr_drawn_part_parent_class)->ref_state_set(object);
  State* state = nullptr;
  DrawnPart part;
  if (!ReadPart(object, state, part)) {
    atk_state_set_add_state(states, ATK_STATE_DEFUNCT);
    return states;
  }
  atk_state_set_add_state(states, ATK_STATE_VISIBLE);
  if (part.shown && gtk_widget_is_drawable(state->widget)) atk_state_set_add_state(states, ATK_STATE_SHOWING);
  if (part.enabled) {
    atk_state_set_add_state(states, ATK_STATE_ENABLED);
    atk_state_set_add_state(states, ATK_STATE_SENSITIVE);
  }
  if (state->source.focus) atk_state_set_add_state(states, ATK_STATE_FOCUSABLE);
  if (part.focused) atk_state_set_add_state(states, ATK_STATE_FOCUSED);
  if (part.role == DrawnRole::ToggleButton) {
    atk_state_set_add_state(states, ATK_STATE_CHECKABLE);
    if (part.checked) atk_state_set_add_state(states, ATK_STATE_CHECKED);
  }
  return states;
}

void vyr_drawn_part_class_init(VyrDrawnPartClass* klass) {
  AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
  atk->get_index_in_parent = PartIndexInParent;
  atk->ref_state_set = PartStates;
}

void vyr_drawn_part_init(VyrDrawnPart* self) { self->index = -1; }

// Its place, on the screen or in the top-level window; relative to the
// window holding it for the parent's coordinates.
void PartExtents(AtkComponent* component, gint* x, gint* y, gint* width, gint* height, AtkCoordType coords) {
  *x = *y = *width = *height = 0;
  State* state = nullptr;
  DrawnPart part;
  if (!ReadPart(component, state, part)) return;
  wxPoint at = part.rect.GetTopLeft();
  if (coords != ATK_XY_PARENT) at = state->window->ClientToScreen(at);
  if (coords == ATK_XY_WINDOW) {
    GdkWindow* top = gtk_widget_get_window(gtk_widget_get_toplevel(state->widget));
    gint left = 0, topEdge = 0;
    if (top) gdk_window_get_origin(top, &left, &topEdge);
    at -= wxPoint(left, topEdge);
  }
  *x = at.x;
  *y = at.y;
  *width = part.rect.width;
  *height = part.rect.height;
}

gboolean PartGrabFocus(AtkComponent* component) {
  State* state = nullptr;
  DrawnPart part;
  if (!ReadPart(component, state, part) || !state->source.focus) return FALSE;
  state->source.focus(AsPart(component)->index);
  return TRUE;
}

AtkLayer PartLayer(AtkComponent*) { return ATK_LAYER_WIDGET; }

void vyr_drawn_part_component_init(AtkComponentIface* iface) {
  iface->get_extents = PartExtents;
  iface->grab_focus = PartGrabFocus;
  iface->get_layer = PartLayer;
}

// The click runs from the event loop: a command may open a menu or a dialog,
// which must not happen inside the screen reader's request.
gboolean PressLater(gpointer data) {
  State* state = nullptr;
  DrawnPart part;
  if (ReadPart(data, state, part) && part.enabled && state->source.press) state->source.press(AsPart(data)->index);
  g_object_unref(data);
  return G_SOURCE_REMOVE;
}

gboolean PartDoAction(AtkAction* action, gint which) {
  State* state = nullptr;
  DrawnPart part;
  if (which != 0 || !ReadPart(action, state, part) || !part.enabled) return FALSE;
  g_idle_add(PressLater, g_object_ref(action));
  return TRUE;
}

gint PartActions(AtkAction*) { return 1; }

const gchar* PartActionName(AtkAction*, gint which) { return which == 0 ? "click" : nullptr; }

const gchar* PartActionDescription(AtkAction* action, gint which) {
  // The texts stay for the program's life: the caller keeps the pointer.
  static const std::string opensMenu = vyr::platform::TextId{40610}.Text();     // "Opens the menu"
  static const std::string clicksButton = vyr::platform::TextId{40611}.Text();  // "Clicks the button"
  if (which != 0) return nullptr;
  return (atk_object_get_role(ATK_OBJECT(action)) == ATK_ROLE_MENU ? opensMenu : clicksButton).c_str();
}

void vyr_drawn_part_action_init(AtkActionIface* iface) {
  iface->do_action = PartDoAction;
  iface->get_n_actions = PartActions;
  iface->get_name = PartActionName;
  iface->get_localized_name = PartActionName;
  iface->get_description = PartActionDescription;
}

// --- the window ----------------------------------------------------------------------------

void Announce(State& state);

gint WindowChildren(AtkObject* object) {
  const int real = RealChildren(object);
  State* state = StateOf(object);
  if (!state || !state->window) return real;
  Announce(*state);
  return real + static_cast<int>(state->children.size());
}

AtkObject* WindowChild(AtkObject* object, gint index) {
  const int real = RealChildren(object);
  if (index < real) {
    auto* parentClass = ATK_OBJECT_CLASS(g_type_class_peek_parent(G_OBJECT_GET_CLASS(object)));
    return parentClass->ref_child ? parentClass->ref_child(object, index) : nullptr;
  }
  State* state = StateOf(object);
  if (!state || !state->window) return nullptr;
  Announce(*state);
  const size_t part = static_cast<size_t>(index - real);
  return part < state->children.size() ? ATK_OBJECT(g_object_ref(state->children[part])) : nullptr;
}

const gchar* WindowName(AtkObject* object) {
  State* state = StateOf(object);
  if (state && state->window && state->source.name) {
    state->name = state->source.name();
    if (!state->name.empty()) return state->name.c_str();
  }
  auto* parentClass = ATK_OBJECT_CLASS(g_type_class_peek_parent(G_OBJECT_GET_CLASS(object)));
  return parentClass->get_name ? parentClass->get_name(object) : nullptr;
}

void WindowClassInit(gpointer klass, gpointer) {
  AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
  atk->get_n_children = WindowChildren;
  atk->ref_child = WindowChild;
  atk->get_name = WindowName;
}

// One type for each kind of accessible object a window had, derived from
// it: the window keeps everything its kind tells.
GType WindowType(GType base) {
  static std::map<GType, GType> types;
  auto found = types.find(base);
  if (found != types.end()) return found->second;
  GTypeQuery query;
  g_type_query(base, &query);
  const std::string name = std::string("VyrDrawnParts") + g_type_name(base);
  const GType type = g_type_register_static_simple(base, g_intern_string(name.c_str()), query.class_size,
                                                   WindowClassInit, query.instance_size, nullptr, GTypeFlags(0));
  types.emplace(base, type);
  return type;
}

AtkObject* NewPart(AtkObject* window, int index, const DrawnPart& part) {
  auto* child = ATK_OBJECT(g_object_new(vyr_drawn_part_get_type(), nullptr));
  AsPart(child)->index = index;
  atk_object_set_parent(child, window);
  atk_object_set_role(child, RoleOf(part.role));
  atk_object_set_name(child, part.name.c_str());
  if (!part.description.empty()) atk_object_set_description(child, part.description.c_str());
  return child;
}

// What changed since the parts were last told. Queries made by listeners
// while it tells find the parts as they are and tell nothing again.
void Announce(State& state) {
  if (!state.window || state.updating || !state.source.parts) return;
  state.updating = true;
  const std::vector<DrawnPart> parts = PartsNow(state);
  const int real = RealChildren(state.accessible);
  while (state.children.size() > parts.size()) {
    AtkObject* gone = state.children.back();
    state.children.pop_back();
    AsPart(gone)->index = -1;
    atk_object_notify_state_change(gone, ATK_STATE_DEFUNCT, TRUE);
    g_signal_emit_by_name(state.accessible, "children-changed::remove", real + static_cast<int>(state.children.size()),
                          gone);
    g_object_unref(gone);
  }
  state.told.resize(state.children.size());
  // The focus leaves one part before it enters another.
  std::vector<AtkObject*> focused;
  for (size_t i = 0; i < state.children.size(); ++i) {
    AtkObject* child = state.children[i];
    const DrawnPart& was = state.told[i];
    const DrawnPart& now = parts[i];
    if (now.name != was.name) atk_object_set_name(child, now.name.c_str());
    if (now.description != was.description) atk_object_set_description(child, now.description.c_str());
    if (now.role != was.role) atk_object_set_role(child, RoleOf(now.role));
    if (now.enabled != was.enabled) {
      atk_object_notify_state_change(child, ATK_STATE_ENABLED, now.enabled);
      atk_object_notify_state_change(child, ATK_STATE_SENSITIVE, now.enabled);
    }
    if (now.checked != was.checked) atk_object_notify_state_change(child, ATK_STATE_CHECKED, now.checked);
    if (now.shown != was.shown) atk_object_notify_state_change(child, ATK_STATE_SHOWING, now.shown);
    if (was.focused && !now.focused) atk_object_notify_state_change(child, ATK_STATE_FOCUSED, FALSE);
    if (now.focused && !was.focused) focused.push_back(child);
  }
  for (size_t i = state.children.size(); i < parts.size(); ++i) {
    AtkObject* child = NewPart(state.accessible, static_cast<int>(i), parts[i]);
    state.children.push_back(child);
    g_signal_emit_by_name(state.accessible, "children-changed::add", real + static_cast<int>(i), child);
    if (parts[i].focused) focused.push_back(child);
  }
  state.told = parts;
  for (AtkObject* child : focused) atk_object_notify_state_change(child, ATK_STATE_FOCUSED, TRUE);
  state.updating = false;
}

}  // namespace

CDrawnAccessible::CDrawnAccessible(wxWindow* window, DrawnPartsSource source, DrawnWindowRole role)
    : state_(new State) {
  GtkWidget* widget = window->m_wxwindow ? window->m_wxwindow : window->m_widget;
  HandOutOwnObjects(GTK_WIDGET_GET_CLASS(widget));
  // As the toolkit makes a widget's object: for the widget, then
  // initialised for it.
  const GType base = GTK_IS_CONTAINER(widget) ? GTK_TYPE_CONTAINER_ACCESSIBLE : GTK_TYPE_WIDGET_ACCESSIBLE;
  auto* accessible = ATK_OBJECT(g_object_new(WindowType(base), "widget", widget, nullptr));
  g_object_set_qdata(G_OBJECT(widget), OwnObjectQuark(), accessible);
  atk_object_initialize(accessible, widget);
  if (role == DrawnWindowRole::ToolBar) atk_object_set_role(accessible, ATK_ROLE_TOOL_BAR);
  if (role == DrawnWindowRole::MenuBar) atk_object_set_role(accessible, ATK_ROLE_MENU_BAR);
  // The widget's reference goes with the widget, as the toolkit's own does:
  // the object stays for whoever still holds it, without its widget.
  g_signal_connect(widget, "destroy", G_CALLBACK(+[](GtkWidget* gone, gpointer data) {
                     g_object_set_qdata(G_OBJECT(gone), OwnObjectQuark(), nullptr);
                     gtk_accessible_set_widget(GTK_ACCESSIBLE(data), nullptr);
                     g_object_unref(data);
                   }),
                   accessible);

  state_->accessible = ATK_OBJECT(g_object_ref(accessible));
  state_->window = window;
  state_->widget = widget;
  state_->source = std::move(source);
  g_object_set_qdata_full(G_OBJECT(accessible), StateQuark(), state_,
                          [](gpointer data) { delete static_cast<State*>(data); });
}

CDrawnAccessible::~CDrawnAccessible() {
  State& state = *state_;
  state.window = nullptr;
  state.widget = nullptr;
  state.source = {};
  for (AtkObject* child : state.children) {
    AsPart(child)->index = -1;
    atk_object_notify_state_change(child, ATK_STATE_DEFUNCT, TRUE);
    g_object_unref(child);
  }
  state.children.clear();
  // The state goes with the window's object, once nothing holds that.
  g_object_unref(state.accessible);
}

void CDrawnAccessible::Update() { Announce(*state_); }
