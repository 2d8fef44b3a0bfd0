quillmark_test(transfer QT LIBS qm_transfer qm_app)
