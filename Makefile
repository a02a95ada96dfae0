# DeviDudi: build, test and demo on Debian. `make test` and `make demo` work on
# a fresh machine as root: they install what is missing first.

SHELL := /bin/bash
.DEFAULT_GOAL := build

PACKAGES := cmake make g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix \
            wine wine64 xvfb xauth googletest python3 clang libclang-rt-14-dev \
            g++ libcli11-dev nlohmann-json3-dev libssl-dev osslsigncode openssl

# Wine ignores read-only attributes and folder permissions for root, so the
# tests run as this unprivileged user. As root, the sources are staged into a
# folder that user owns: CI may clone into a folder the user cannot enter.
TEST_USER  := devidudi-test
STAGE_ROOT := /var/tmp/devidudi-test
STAGE_DIR  := $(STAGE_ROOT)/$(shell printf '%s' '$(CURDIR)' | md5sum | cut -c1-12)
SMALL_FS   := $(STAGE_DIR)/small-fs

BUILD_DIR  := build
XVFB       := xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp"
JOBS       := $(shell nproc)

.PHONY: build deps test check differential demo demo-build picture picture-check bench bench-toolkit road fuzz fuzz-replay clean release release-check

deps:
	@missing=$$(for p in $(PACKAGES); do \
	    dpkg-query -W -f='$${Status}\n' "$$p" 2>/dev/null | grep -q 'install ok installed' || echo "$$p"; \
	  done); \
	if [ -n "$$missing" ]; then \
	  if [ "$$(id -u)" != 0 ]; then \
	    echo "missing packages: $$missing (run 'make $(MAKECMDGOALS)' as root once to install them)" >&2; exit 1; \
	  fi; \
	  echo "installing:" $$missing; \
	  apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $$missing; \
	fi

# ARCHS narrows a build, and TESTS (a CTest regular expression) a test run,
# while working on one part: `make test ARCHS="linux x64" TESTS=script`.
ARCHS ?= linux x64 x86
TESTS ?=
CTEST_FILTER := $(if $(TESTS),-R '$(TESTS)')

build:
	@for arch in $(ARCHS); do \
	  cmake --preset $$arch >/dev/null && cmake --build $(BUILD_DIR)/$$arch -j $(JOBS) || exit 1; \
	done

# The line grammar, fuzzed natively (see tests/fuzz/README.md).
FUZZER       := $(BUILD_DIR)/fuzz/line_grammar_fuzzer
FUZZ_SECONDS := 60
FUZZ_CORPORA := tests/fuzz/corpus tests/corpus

$(FUZZER): tests/fuzz/line_grammar_fuzzer.cpp src/script/file_command.cpp \
           src/script/widen_text.cpp $(wildcard src/script/*.h)
	mkdir -p $(dir $@)
	clang++ -std=c++17 -g -O1 -Wall -Wextra -Werror -Isrc \
	  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
	  tests/fuzz/line_grammar_fuzzer.cpp src/script/file_command.cpp src/script/widen_text.cpp -o $@

# devidudi-script's lint and print, fuzzed the same way, on a corpus of their
# own (tests/fuzz/lint_corpus), with the two others as further seeds.
LINT_FUZZER        := $(BUILD_DIR)/fuzz/lint_fuzzer
LINT_FUZZ_CORPORA  := tests/fuzz/lint_corpus tests/corpus
# Short inputs reach every rule and keep the executions fast.
LINT_FUZZ_MAX_LEN  := 512
LINT_FUZZ_SOURCES  := tests/fuzz/lint_fuzzer.cpp \
  $(addprefix src/script_tool/,script_reader/script_file.cpp findings/severity.cpp findings/edit_distance.cpp lint/lint_rules.cpp lint/lint_script.cpp \
    lint/lint_checks_text.cpp lint/lint_checks_commands.cpp lint/lint_checks_paths.cpp lint/file_kind.cpp \
    script_reader/run_program.cpp lint/target_index.cpp script_reader/visible_text.cpp print/print_rows.cpp) \
  src/script/file_command.cpp src/script/widen_text.cpp src/script/text_mode.cpp \
  src/names/windows_names.cpp src/names/text_conversions.cpp src/names/temporary_path.cpp \
  src/script/progress.cpp src/app/update_messages.cpp

$(LINT_FUZZER): $(LINT_FUZZ_SOURCES) $(wildcard src/script/*.h src/script_tool/*/*.h src/names/*.h src/app/update_messages.h src/checks/reported_name.h)
	mkdir -p $(dir $@)
	clang++ -std=c++17 -g -O1 -Wall -Wextra -Werror -Isrc \
	  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
	  $(LINT_FUZZ_SOURCES) -o $@

# Fuzzes, then keeps only the inputs that still add coverage in the corpus.
fuzz: deps $(FUZZER) $(LINT_FUZZER)
	cd $(BUILD_DIR)/fuzz && ./line_grammar_fuzzer -max_total_time=$(FUZZ_SECONDS) \
	  -print_final_stats=1 $(addprefix $(CURDIR)/,$(FUZZ_CORPORA))
	rm -rf $(BUILD_DIR)/fuzz/minimal && mkdir $(BUILD_DIR)/fuzz/minimal
	cd $(BUILD_DIR)/fuzz && ./line_grammar_fuzzer -merge=1 minimal $(CURDIR)/tests/fuzz/corpus \
	  2>&1 | tail -1
	rm -rf tests/fuzz/corpus && mv $(BUILD_DIR)/fuzz/minimal tests/fuzz/corpus
	cd $(BUILD_DIR)/fuzz && ./lint_fuzzer -max_total_time=$(FUZZ_SECONDS) -max_len=$(LINT_FUZZ_MAX_LEN) \
	  -print_final_stats=1 $(addprefix $(CURDIR)/,$(LINT_FUZZ_CORPORA) tests/fuzz/corpus)
	rm -rf $(BUILD_DIR)/fuzz/lint_minimal && mkdir $(BUILD_DIR)/fuzz/lint_minimal
	cd $(BUILD_DIR)/fuzz && ./lint_fuzzer -merge=1 lint_minimal $(CURDIR)/tests/fuzz/lint_corpus \
	  2>&1 | tail -1
	rm -rf tests/fuzz/lint_corpus && mv $(BUILD_DIR)/fuzz/lint_minimal tests/fuzz/lint_corpus

# Every input found so far, once, under the sanitizers.
fuzz-replay: $(FUZZER) $(LINT_FUZZER)
	cd $(BUILD_DIR)/fuzz && ./line_grammar_fuzzer -runs=0 $(addprefix $(CURDIR)/,$(FUZZ_CORPORA))
	cd $(BUILD_DIR)/fuzz && ./lint_fuzzer -runs=0 $(addprefix $(CURDIR)/,$(LINT_FUZZ_CORPORA))

# Builds both architectures and runs the x64 tests; must not run as root.
check: build $(if $(TESTS),,fuzz-replay)
	$(if $(filter linux,$(ARCHS)),ctest --test-dir $(BUILD_DIR)/linux --output-on-failure \
	  --no-tests=$(if $(TESTS),ignore,error) -j $(JOBS) $(CTEST_FILTER))
	$(if $(filter x64,$(ARCHS)),WINEPREFIX="$(CURDIR)/$(BUILD_DIR)/wineprefix" $(XVFB) \
	  tools/run-tests $(BUILD_DIR)/x64 $(CTEST_FILTER))
	$(if $(TESTS),,$(if $(filter x64,$(ARCHS)),$(if $(filter linux,$(ARCHS)),\
	  $(MAKE) --no-print-directory picture-check)))

test: deps
ifeq ($(shell id -u),0)
	@id -u $(TEST_USER) >/dev/null 2>&1 || \
	  useradd --system --create-home --home-dir /var/lib/$(TEST_USER) --shell /bin/sh $(TEST_USER)
	@mkdir -p $(STAGE_ROOT) && chmod 755 $(STAGE_ROOT)
	@install -d -o $(TEST_USER) -g $(TEST_USER) $(STAGE_DIR)
	@echo "staging the sources in $(STAGE_DIR) for $(TEST_USER)"
	@# Only what changed is written anew, with the time of now (see the tool).
	@install -o $(TEST_USER) -g $(TEST_USER) -m 755 tools/stage-sources $(STAGE_DIR)/stage-sources
	@runuser -u $(TEST_USER) -- mkdir -p $(STAGE_DIR)/src
	@tar -C '$(CURDIR)' --exclude=./$(BUILD_DIR) --exclude=./.git -cf - . | \
	  runuser -u $(TEST_USER) -- $(STAGE_DIR)/stage-sources $(STAGE_DIR)/src
	@runuser -u $(TEST_USER) -- mkdir -p $(STAGE_DIR)/build $(SMALL_FS)
	@runuser -u $(TEST_USER) -- ln -sfn $(STAGE_DIR)/build $(STAGE_DIR)/src/$(BUILD_DIR)
	@# A 1 MiB file system on which a copy runs out of space; the test that
	@# needs it is skipped where it cannot be mounted.
	@mountpoint -q $(SMALL_FS) || \
	  mount -t tmpfs -o size=1m,mode=0755,uid=$$(id -u $(TEST_USER)),gid=$$(id -g $(TEST_USER)) \
	    devidudi-small $(SMALL_FS) || echo "no small file system: the disk-full test is skipped"
	status=0; runuser -u $(TEST_USER) -- env HOME=/var/lib/$(TEST_USER) \
	  $$(mountpoint -q $(SMALL_FS) && echo DEVIDUDI_SMALL_FS=$(SMALL_FS)) \
	  $(MAKE) --no-print-directory -C $(STAGE_DIR)/src check ARCHS="$(ARCHS)" TESTS="$(TESTS)" || status=$$?; \
	umount $(SMALL_FS) 2>/dev/null; [ $$status = 0 ] || exit $$status
	$(if $(TESTS),,$(MAKE) --no-print-directory release-check)
else
	$(MAKE) --no-print-directory check $(if $(TESTS),,release-check)
endif

# The differential test of print and verify against the real updater, with
# more cases than `make test` runs: `make differential SEED=42 CASES=1000`.
# Without SEED the seed comes from the clock; the test prints it, and a
# failing case names the seed that runs it again alone (CASES=1).
SEED  ?=
CASES ?= 500
differential:
	DEVIDUDI_DIFF_SEED='$(SEED)' DEVIDUDI_DIFF_CASES='$(CASES)' \
	  $(MAKE) --no-print-directory test ARCHS=x64 TESTS=differential_tests

# The release packages of the commit checked out, in dist/ (see
# tools/release/build): from `git archive HEAD`, so only what is committed.
# Signed when a certificate is given (docs/building.md): SIGN_CERT and SIGN_KEY
# in PEM, or SIGN_PKCS12; SIGN_PASSWORD_ENV names the environment variable
# that holds the key's password, and TIMESTAMP_URL a timestamp server.
SIGN_CERT         ?=
SIGN_KEY          ?=
SIGN_PKCS12       ?=
SIGN_PASSWORD_ENV ?=
TIMESTAMP_URL     ?=
SIGN_OPTIONS = $(if $(SIGN_CERT),--sign-cert '$(SIGN_CERT)') $(if $(SIGN_KEY),--sign-key '$(SIGN_KEY)') \
  $(if $(SIGN_PKCS12),--sign-pkcs12 '$(SIGN_PKCS12)') \
  $(if $(SIGN_PASSWORD_ENV),--sign-password-env '$(SIGN_PASSWORD_ENV)') \
  $(if $(TIMESTAMP_URL),--timestamp-url '$(TIMESTAMP_URL)')
release: deps
	tools/release/build --dist dist --jobs $(JOBS) $(SIGN_OPTIONS)

# Reproducibility, for CI: the release built twice, in two folders, must give
# the same bytes. Only the win64 package, to keep `make test` short: it goes
# through the same flags and archive writing as the other two (`make
# release-check RELEASE_CHECK=win64,win32,linux` checks all three). Then each
# Windows package must stand alone: its README's links resolve in it, and its
# example links with its compile lines (tools/release/check-package). Both
# builds are signed, with a certificate made here for one day and its own
# authority, so the signed bytes are compared too, and each program's
# signature must verify (tools/release/check-signature).
RELEASE_CHECK ?= win64
RELEASE_CHECK_DIR := $(BUILD_DIR)/release-check
RELEASE_CHECK_SIGNER := $(RELEASE_CHECK_DIR)/signer
release-check: deps
	rm -rf $(RELEASE_CHECK_DIR)
	mkdir -p $(RELEASE_CHECK_SIGNER)
	openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj '/CN=DeviDudi test' \
	  -addext extendedKeyUsage=codeSigning -keyout $(RELEASE_CHECK_SIGNER)/key.pem \
	  -out $(RELEASE_CHECK_SIGNER)/cert.pem 2>/dev/null
	tools/release/build --only $(RELEASE_CHECK) --jobs $(JOBS) \
	  --sign-cert $(RELEASE_CHECK_SIGNER)/cert.pem --sign-key $(RELEASE_CHECK_SIGNER)/key.pem \
	  --work $(RELEASE_CHECK_DIR)/first --dist $(RELEASE_CHECK_DIR)/first/dist >/dev/null
	tools/release/build --only $(RELEASE_CHECK) --jobs $(JOBS) \
	  --sign-cert $(RELEASE_CHECK_SIGNER)/cert.pem --sign-key $(RELEASE_CHECK_SIGNER)/key.pem \
	  --work $(RELEASE_CHECK_DIR)/second/elsewhere --dist $(RELEASE_CHECK_DIR)/second/dist >/dev/null
	diff -r $(RELEASE_CHECK_DIR)/first/dist $(RELEASE_CHECK_DIR)/second/dist
	@echo "release-check: two signed builds in two folders gave the same bytes:"
	@cat $(RELEASE_CHECK_DIR)/first/dist/SHA256SUMS
	@zips=$$(ls $(RELEASE_CHECK_DIR)/first/dist/*.zip 2>/dev/null); \
	  [ -z "$$zips" ] || { tools/release/check-signature $(RELEASE_CHECK_SIGNER)/cert.pem $$zips && \
	                       tools/release/check-package $$zips; }

# Builds what the sample update needs, and no test program, then runs it
# under build/demo (see tools/demo/run): the native toolkit that makes the
# script, and for x64 the updater, the application library, the demo's driver
# and the two PexaMenu programs.
DEMO_TARGETS := devidudi devidudi_updater_client demo_driver pexamenu-1.0 pexamenu-2.0
demo-build:
	cmake --preset linux >/dev/null && cmake --build $(BUILD_DIR)/linux -j $(JOBS) --target devidudi-script -- --no-print-directory
	cmake --preset x64 >/dev/null && cmake --build $(BUILD_DIR)/x64 -j $(JOBS) --target $(DEMO_TARGETS) -- --no-print-directory
demo: deps demo-build
	tools/demo/run

# The README's picture is the demo's own, taken under Xvfb (a desktop's window
# manager would draw another frame): `make picture` takes it anew, and
# `make test` fails when the demo shows something else than the picture.
PICTURE := docs/progress-window.png
DEMO_LOG := $(BUILD_DIR)/demo.log
picture: deps demo-build
	env -u DISPLAY tools/demo/run
	cp $(BUILD_DIR)/demo/progress-window.png $(PICTURE)

picture-check:
	@env -u DISPLAY tools/demo/run >$(DEMO_LOG) 2>&1 || { cat $(DEMO_LOG); exit 1; }
	@cmp -s $(BUILD_DIR)/demo/progress-window.png $(PICTURE) || { \
	  echo "picture-check: the demo's window is not $(PICTURE) any more: run 'make picture'" \
	       "and look at the picture before committing it ($(BUILD_DIR)/demo/progress-window.png)" >&2; \
	  exit 1; }
	@echo "picture-check: the demo's window is $(PICTURE)"

# Builds both architectures, runs the benchmark program under Wine and Xvfb
# and writes bench/RESULTS.md (see bench/run.py): some 15 minutes. Its Wine
# prefix is its own, under build/; no test runs here, so root may run it.
# Then devidudi-script make and verify are timed natively, each in a section
# of its own (bench/make_speed.py, bench/verify_speed.py: some 5 minutes),
# and lint and print (bench/toolkit_bench.py).
bench: deps build
	WINEPREFIX="$(CURDIR)/$(BUILD_DIR)/bench/wineprefix" $(XVFB) python3 bench/run.py
	python3 bench/make_speed.py
	python3 bench/verify_speed.py
	python3 bench/toolkit_bench.py

# devidudi-script lint and print on 100,000 lines against `wc -l`, natively
# (bench/toolkit_bench.py): a few seconds; adds its section to RESULTS.md.
bench-toolkit: deps
	cmake --preset linux >/dev/null && cmake --build $(BUILD_DIR)/linux -j $(JOBS) --target devidudi-script
	python3 bench/toolkit_bench.py

# The release road at full size (bench/release_road.py): 20,000 files with new
# folders, make, lint and verify natively, then the application's part
# (examples/start_update), its check of the signed bundle timed
# (devidudi_bench) and the real updater under Wine; a few minutes.
road: deps
	cmake --preset linux >/dev/null && cmake --build $(BUILD_DIR)/linux -j $(JOBS) --target devidudi-script
	cmake --preset x64 >/dev/null && cmake --build $(BUILD_DIR)/x64 -j $(JOBS) --target devidudi start_update devidudi_bench
	$(XVFB) python3 bench/release_road.py

clean:
	rm -rf $(BUILD_DIR)
