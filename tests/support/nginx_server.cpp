// The nginx starter.
#include "tests/support/nginx_server.h"

#include <sys/stat.h>

namespace tellweir::testing {
namespace {

std::string NginxConfig(const TempDir& dir, const NginxOptions& options, int port) {
    const std::string& root = dir.Path();
    std::string listen = "127.0.0.1:" + std::to_string(port);
    std::string tls;
    if (options.certificate != nullptr) {
        listen += " ssl";
        tls = "        ssl_certificate " + options.certificate->certificatePath +
              ";\n        ssl_certificate_key " + options.certificate->keyPath + ";\n";
    }
    return "daemon off;\nmaster_process off;\nworker_processes 1;\npid " + root +
           "/nginx.pid;\nerror_log " + root + "/error.log;\n" + "events { worker_connections " +
           std::to_string(options.workerConnections) +
           "; }\nhttp {\n    access_log off;\n    default_type application/octet-stream;\n" +
           "    types { text/html html; text/plain txt; }\n    etag on;\n" +
           "    keepalive_requests 100000;\n" + "    client_body_temp_path " + root +
           "/temp/body;\n    proxy_temp_path " + root + "/temp/proxy;\n    fastcgi_temp_path " +
           root + "/temp/fastcgi;\n    uwsgi_temp_path " + root +
           "/temp/uwsgi;\n    scgi_temp_path " + root + "/temp/scgi;\n    server {\n" +
           "        listen " + listen + ";\n        root " + root + "/www;\n" + tls +
           options.serverDirectives + "\n    }\n}\n";
}

}  // namespace

bool StartNginx(RealServer& server, const TempDir& dir, const NginxOptions& options) {
    ::mkdir((dir / "www").c_str(), 0755);
    ::mkdir((dir / "temp").c_str(), 0755);
    return StartServerOnFreePort(
        server,
        [&](int port) {
            const std::string config = dir.WriteFile("nginx.conf", NginxConfig(dir, options, port));
            return std::vector<std::string>{"nginx",           "-p", dir.Path(), "-e",
                                            dir / "error.log", "-c", config};
        },
        dir / "nginx.out");
}

}  // namespace tellweir::testing
