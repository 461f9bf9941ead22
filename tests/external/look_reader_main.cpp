// Opens pages in WebKitGTK, the browser the program shows the blog in, and prints for each one
// line of JSON: every run of text and every picture in its element of class "post-body" with the
// look the browser computed for it, relative to the element itself (weight, slant, colour,
// alignment, list marker, the title shown on pointing at it, the address its link leads to), so
// that two renderings of one post can be compared. Needs a display.
//
//   look_reader FILE...

#include <gtk/gtk.h>
#include <webkit/webkit.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

// Runs of shown text, each with the look that differs from the post's element.
constexpr std::string_view look_script = R"js(
(function () {
  const root = document.querySelector('.post-body');
  if (!root) return JSON.stringify(null);
  const base = getComputedStyle(root);
  const align = (style) => {
    const value = style.textAlign;
    return value === 'start' || value === 'left' || value === '-webkit-auto' ? 'left'
         : value === '-webkit-center' ? 'center' : value;
  };
  const blockOf = (element) => {
    let block = element;
    while (block !== root && getComputedStyle(block).display.startsWith('inline'))
      block = block.parentElement;
    return block;
  };
  const markerOf = (element) => {
    const item = element.closest('li');
    if (!item || !root.contains(item)) return '';
    const type = getComputedStyle(item).listStyleType;
    const list = item.parentElement;
    if (!list || list.tagName !== 'OL') return type;
    let number = list.hasAttribute('start') ? list.start : 1;
    for (const child of list.children) {
      if (child.tagName !== 'LI') continue;
      if (child.hasAttribute('value')) number = child.value;
      if (child === item) break;
      number += 1;
    }
    return type + ' ' + number;
  };
  const titleOf = (element) => {
    const titled = element.closest('[title]');
    return titled && root.contains(titled) ? titled.title : '';
  };
  const runs = [];
  const walker = document.createTreeWalker(root, NodeFilter.SHOW_TEXT | NodeFilter.SHOW_ELEMENT);
  for (let node = walker.nextNode(); node; node = walker.nextNode()) {
    const picture = node.nodeType === Node.ELEMENT_NODE && node.tagName === 'IMG';
    if (node.nodeType === Node.ELEMENT_NODE && !picture) continue;
    // A picture counts as one character, with its alternative text as its title says.
    const text = picture ? '\ufffc' : node.data.replace(/\s+/g, '');
    const element = picture ? node : node.parentElement;
    if (!text || element.getClientRects().length === 0) continue;
    const style = getComputedStyle(element);
    runs.push({
      text: text,
      title: titleOf(element) + (picture ? ' alt=' + node.alt : ''),
      link: (() => {
        const link = element.closest('a[href]');
        return link && root.contains(link) ? link.href : '';
      })(),
      bold: Number(style.fontWeight) >= 600,
      italic: style.fontStyle !== 'normal',
      color: style.color === base.color ? '' : style.color,
      align: align(getComputedStyle(blockOf(element))) === align(base)
                 ? '' : align(getComputedStyle(blockOf(element))),
      marker: markerOf(element),
    });
  }
  return JSON.stringify(runs);
})()
)js";

struct Reader {
    GMainLoop* loop = nullptr;
    WebKitWebView* view = nullptr;
    std::string answer;
    bool failed = false;
};

void on_evaluated(GObject* source, GAsyncResult* result, gpointer data) {
    auto* reader = static_cast<Reader*>(data);
    GError* error = nullptr;
    JSCValue* value =
        webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error);
    if (value == nullptr) {
        std::fprintf(stderr, "look_reader: %s\n", error ? error->message : "no answer");
        g_clear_error(&error);
        reader->failed = true;
    } else {
        char* text = jsc_value_to_string(value);
        reader->answer = text;
        g_free(text);
        g_object_unref(value);
    }
    g_main_loop_quit(reader->loop);
}

void on_load_changed(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
    if (event == WEBKIT_LOAD_FINISHED) {
        webkit_web_view_evaluate_javascript(view, look_script.data(),
                                            static_cast<gssize>(look_script.size()), nullptr,
                                            nullptr, nullptr, on_evaluated, data);
    }
}

gboolean on_timeout(gpointer data) {
    auto* reader = static_cast<Reader*>(data);
    std::fprintf(stderr, "look_reader: the page did not finish loading\n");
    reader->failed = true;
    g_main_loop_quit(reader->loop);
    return G_SOURCE_REMOVE;
}

} // namespace

int main(int argc, char** argv) {
    gtk_init();
    // Whatever a page names on the web goes to a closed port here, never out.
    WebKitNetworkProxySettings* proxy =
        webkit_network_proxy_settings_new("http://127.0.0.1:9", nullptr);
    webkit_network_session_set_proxy_settings(webkit_network_session_get_default(),
                                              WEBKIT_NETWORK_PROXY_MODE_CUSTOM, proxy);
    webkit_network_proxy_settings_free(proxy);
    GtkWidget* window = gtk_window_new();
    gtk_window_set_default_size(GTK_WINDOW(window), 1000, 800);
    auto* view = WEBKIT_WEB_VIEW(webkit_web_view_new());
    gtk_window_set_child(GTK_WINDOW(window), GTK_WIDGET(view));
    gtk_window_present(GTK_WINDOW(window));
    const std::unique_ptr<GMainLoop, decltype(&g_main_loop_unref)> loop(
        g_main_loop_new(nullptr, FALSE), &g_main_loop_unref);
    Reader reader{loop.get(), view, {}, false};
    g_signal_connect(view, "load-changed", G_CALLBACK(on_load_changed), &reader);
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        GFile* file = g_file_new_for_path(argv[i]);
        char* uri = g_file_get_uri(file);
        reader.answer.clear();
        reader.failed = false;
        const guint timeout = g_timeout_add_seconds(60, on_timeout, &reader);
        webkit_web_view_load_uri(view, uri);
        g_main_loop_run(loop.get());
        if (!reader.failed) {
            g_source_remove(timeout);
        }
        g_free(uri);
        g_object_unref(file);
        if (reader.failed) {
            status = 1;
            std::printf("null\n");
        } else {
            std::printf("%s\n", reader.answer.c_str());
        }
        std::fflush(stdout);
    }
    gtk_window_destroy(GTK_WINDOW(window));
    return status;
}
